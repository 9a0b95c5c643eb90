#!/usr/bin/python3
"""Derives SmoothTTF.ttf, the activity list's font, from DejaVu Sans Mono.

Run by hand when the font is to change (needs Debian's fonts-dejavu-core and
python3-fonttools); the result is kept in the repository beside its licence,
SmoothTTF-LICENSE.txt. The licence allows changed fonts under a new name that
contains neither "Bitstream" nor "Vera": the family becomes "SmoothTTF", and
only Basic Latin and Latin-1 (the umlauts) are kept to keep the file small.
"""
import pathlib
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

SOURCE = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
TARGET = pathlib.Path(__file__).with_name("SmoothTTF.ttf")

options = subset.Options()
options.name_IDs = ["*"]
options.name_languages = ["*"]
options.hinting = True
options.notdef_outline = True
options.layout_features = []

font = TTFont(SOURCE)
subsetter = subset.Subsetter(options)
subsetter.populate(unicodes=list(range(0x20, 0x7F)) + list(range(0xA0, 0x100)))
subsetter.subset(font)

names = font["name"]
for record in list(names.names):
    if record.nameID in (16, 17, 21, 22):
        names.removeNames(nameID=record.nameID)
for name_id, text in {1: "SmoothTTF", 2: "Medium", 3: "SmoothTTF Medium", 4: "SmoothTTF Medium",
                      6: "SmoothTTF-Medium"}.items():
    names.removeNames(nameID=name_id)
    names.setName(text, name_id, 3, 1, 0x409)
    names.setName(text, name_id, 1, 0, 0)

font.save(TARGET)
print(f"{TARGET}: {TARGET.stat().st_size} bytes", file=sys.stderr)
