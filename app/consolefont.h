#pragma once

// Makes the font the program carries, family "SmoothTTF", known to Qt. A font
// that cannot be loaded is ignored: Qt then matches the family by itself.
void registerConsoleFont();
