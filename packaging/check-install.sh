#!/usr/bin/env bash
# Installs the build into a staging directory and checks that every file a
# desktop installation needs is there and usable.
set -euo pipefail
build="$1"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/usr" >/dev/null

fail=0
expect() { [ -e "$stage/usr/$1" ] || { echo "missing: $1"; fail=1; }; }
expect bin/qzr-console
expect bin/qzr-camsim
expect share/applications/qzr-console.desktop
expect share/icons/hicolor/scalable/apps/qzr-console.svg
expect share/doc/qzr-console/README.md
expect share/doc/qzr-console/docs/main-window.png
[ "$fail" -eq 0 ] || exit 1

# The programs run from where they were installed.
"$stage/usr/bin/qzr-console" --help | grep -q -- "--headless" || { echo "qzr-console --help"; exit 1; }
usage="$("$stage/usr/bin/qzr-camsim" --help 2>&1 || true)"
grep -q -- "--baud" <<<"$usage" || { echo "qzr-camsim --help"; exit 1; }
# The menu entry starts the installed program and names the installed icon.
grep -qx "Exec=qzr-console" "$stage/usr/share/applications/qzr-console.desktop"
grep -qx "Icon=qzr-console" "$stage/usr/share/applications/qzr-console.desktop"
grep -q "<svg" "$stage/usr/share/icons/hicolor/scalable/apps/qzr-console.svg"
echo "installed files are in place"
