#!/usr/bin/env bash
# Pins the layout pictures and the survey at each DPI that survey_tests last wrote in code
# page 1252 (look at them first): build/win32/popup-pictures/NAME-cp1252.png to
# tests/survey/pictures/NAME.png, for layoutN and survey-dpiN.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mkdir -p "$root/tests/survey/pictures"
for picture in "$root"/build/win32/popup-pictures/{layout[0-9],survey-dpi[0-9]*}-cp1252.png; do
  name=$(basename "$picture" -cp1252.png)
  convert "$picture" -define png:compression-level=9 "PNG24:$root/tests/survey/pictures/$name.png"
done
ls -l "$root/tests/survey/pictures"
