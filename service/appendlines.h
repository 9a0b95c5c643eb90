#pragma once

#include <QString>

#include <string_view>

namespace service {

// Appends the lines, the last one ended by its newline, to the file open at
// fd, so that the file ends in a whole line however the write ends: when the
// system takes only part of them (the disk filling up, a limit on the file's
// size), the file is cut back to the end of its last whole line, where
// readers of logs and CSV files take it up. A file that cannot be cut, a
// device, keeps what it took.
//
// Empty, or the system's reason for refusing.
QString appendLines(int fd, std::string_view lines);

} // namespace service
