#!/usr/bin/env bash
# The desktop entry passes the desktop's own validator, and the file-type definition makes every
# *.playlist file the type the entry says the player opens. Skipped when the desktop's tools are
# not installed. Usage: desktop-check.sh SOURCE_DIR/shell/desktop
set -euo pipefail
desktop=$1
for tool in desktop-file-validate update-mime-database; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

desktop-file-validate "$desktop/vantrelkivo.desktop" || fail "the desktop entry is not valid"
mkdir -p "$work/mime/packages"
cp "$desktop/vantrelkivo.xml" "$work/mime/packages/"
update-mime-database "$work/mime" 2>"$work/log" || true # exits 0 on a broken file too
type=$(sed -n 's/^[0-9]*:\([^:]*\):\*\.playlist$/\1/p' "$work/mime/globs2")
[ -n "$type" ] || fail "*.playlist has no type: $(cat "$work/log")"
grep -q "^MimeType=.*\\b$type;" "$desktop/vantrelkivo.desktop" || fail "the entry does not open $type"
echo "desktop entry valid; *.playlist is $type"
