#!/usr/bin/env bash
# scripts/check-layers on a copy of the tree with one misplaced include at a time: each must fail the
# check with a line naming the file and the line. Usage: misplaced_include_test.sh SOURCE_DIR
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$src/README.md" "$src/scripts" "$work/"
for dir in win32 platform host res ui aggregation report conditions app; do cp -r "$src/$dir" "$work/"; done
"$work/scripts/check-layers" "$work" >/dev/null

failed=0
# file | the include added as its second line
while IFS='|' read -r file include; do
  cp "$work/$file" "$work/$file.orig"
  sed -i "1a #include $include" "$work/$file"
  if out=$("$work/scripts/check-layers" "$work" 2>&1); then
    echo "FAIL: $include in $file passed the check" >&2
    failed=1
  elif ! grep -qF "$file:2: $include" <<<"$out"; then
    echo "FAIL: $include in $file: the check did not name the file and line: $out" >&2
    failed=1
  fi
  mv "$work/$file.orig" "$work/$file"
done <<'CASES'
aggregation/amount.cpp|<QWidget>
aggregation/amount.cpp|<sqlite3.h>
report/xml_writer.cpp|"ui/dialog.h"
report/xml_writer.cpp|<unistd.h>
conditions/path_rules.cpp|"ui/qt_widgets.h"
conditions/path_rules.cpp|"app/link_app.h"
ui/dialog.h|<QString>
host/host_db.cpp|<xcb/xcb.h>
win32/paths.cpp|"res/texts.h"
app/link_app.cpp|"host/host_db.h"
app/entry.cpp|<unistd.h>
CASES
exit "$failed"
