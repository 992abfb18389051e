#!/usr/bin/env bash
# update.sh: brings translations/kestrun_*.ts up to date with the sources. New texts
# arrive untranslated (type="unfinished") for a translator to fill in; texts no source
# says any more are kept, marked obsolete. The texts the engine, the serial core and the
# support services make are marked with ZUL_TEXT, which lupdate is told to read as
# QT_TRANSLATE_NOOP. Locations are left out, so that moving code changes no translation.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lupdate=$(command -v lupdate-qt6 || echo /usr/lib/qt6/bin/lupdate)
cd "$root"
"$lupdate" -locations none -tr-function-alias QT_TRANSLATE_NOOP+=ZUL_TEXT \
    app engine serial support ui -ts translations/kestrun_*.ts
