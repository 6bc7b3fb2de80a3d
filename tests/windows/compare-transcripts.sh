#!/usr/bin/env bash
# Runs effect_transcript natively with the Linux module and under Wine with the Windows
# build's program and .aex, and fails unless both wrote the same files with the same bytes.
#   compare-transcripts.sh LINUX_PROGRAM LINUX_MODULE WINDOWS_BUILD_DIR WORK_DIR
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 LINUX_PROGRAM LINUX_MODULE WINDOWS_BUILD_DIR WORK_DIR" >&2; exit 2; }
fail() { echo "compare-transcripts: $*" >&2; exit 1; }
artifacts=$(cd "$3" && pwd)/windows-artifacts.env
[ -f "$artifacts" ] || fail "$artifacts missing: run scripts/build-windows first"
module=$(sed -n 's/^module=//p' "$artifacts")
program=$(sed -n 's/^program=//p' "$artifacts")
[ -n "$program" ] || fail "the Windows build has no effect_transcript (built without the harness?)"
rm -rf "$4" && mkdir -p "$4/linux" "$4/windows"
work=$(cd "$4" && pwd)
"$1" "$2" "$work/linux"
# Wine shows the machine's root as drive Z:.
"$(dirname "$0")/../../scripts/wine" --prefix "$(dirname "$artifacts")/wineprefix" \
  "$program" "Z:$module" "Z:$work/windows"
[ -s "$work/linux/frames.txt" ] || fail "the Linux run wrote no frames"
# The host reads the thirteen properties of an effect's list from the .aex's resource.
grep -qx 'properties 13' "$work/windows/pipl.txt" || fail "the .aex's PiPL does not decode to 13 properties"
diff -r "$work/linux" "$work/windows" || fail "the Windows module answered differently (outputs in $work)"
echo "== identical: $(ls "$work/linux" | wc -l) files"
