#!/bin/sh
# Brings the English translation up to date with the program's texts:
#     scripts/update-translations.sh [file.ts]
# New texts enter translations/voltadesk_en.ts (or the file given) as unfinished entries for
# Qt Linguist or a text editor, and texts gone from the sources leave it. No source
# locations are written, so moving code does not change the file. The build compiles the file
# into the program; tests/scripts/test_translations.sh fails while an entry is unfinished.
set -e
source=$(cd "$(dirname "$0")/.." && pwd)
ts=$(readlink -f "${1:-$source/translations/voltadesk_en.ts}")
lupdate=/usr/lib/qt5/bin/lupdate
[ -x "$lupdate" ] || lupdate=lupdate
cd "$source"
# Every layer that shows operator texts, in a window or on the runner's terminal.
exec "$lupdate" -silent -locations none -no-obsolete -source-language ru_RU -target-language en_US \
    app module moduledebug firmware dialogs visa runtime runner -ts "$ts"
