#!/bin/sh
# Every message the command line marks with Tr or TrN has a Japanese translation, and the
# catalogue compiles cleanly.
set -eu
src=$1
pot=$(mktemp)
trap 'rm -f "$pot"' EXIT
xgettext --language=C++ --from-code=UTF-8 --keyword= --keyword=Tr --keyword=TrN:1,2 --keyword=TrMark -o "$pot" "$src"/app/cli/*.cpp
sed -i 's/charset=CHARSET/charset=UTF-8/' "$pot"
msgfmt --check -o /dev/null "$src/app/cli/po/ja.po"
msgcmp "$src/app/cli/po/ja.po" "$pot"
