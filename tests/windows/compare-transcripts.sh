#!/usr/bin/env bash
# Runs effect_transcript twice, natively with the Linux module and under Wine with the
# Windows build's program and .aex, and fails unless both wrote the same files with the
# same bytes.
#
#   compare-transcripts.sh LINUX_PROGRAM LINUX_MODULE WINDOWS_BUILD_DIR WORK_DIR
set -euo pipefail

if [ $# -ne 4 ]; then
  echo "usage: compare-transcripts.sh LINUX_PROGRAM LINUX_MODULE WINDOWS_BUILD_DIR WORK_DIR" >&2
  exit 2
fi
linux_program=$1
linux_module=$2
windows_dir=$(cd "$3" && pwd)
work=$4
root=$(cd "$(dirname "$0")/../.." && pwd)

artifacts=$windows_dir/windows-artifacts.env
if [ ! -f "$artifacts" ]; then
  echo "compare-transcripts: $artifacts missing: run scripts/build-windows first" >&2
  exit 1
fi
module=$(sed -n 's/^module=//p' "$artifacts")
program=$(sed -n 's/^program=//p' "$artifacts")
if [ -z "$program" ]; then
  echo "compare-transcripts: the Windows build has no effect_transcript (built without the harness?)" >&2
  exit 1
fi

rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"
work=$(cd "$work" && pwd)

echo "== Linux: $linux_module"
"$linux_program" "$linux_module" "$work/linux"

# Wine shows the machine's root as drive Z:.
echo "== Windows (Wine): $module"
"$root/scripts/wine" --prefix "$windows_dir/wineprefix" \
  "$program" "Z:$module" "Z:$work/windows"

files=$(cd "$work/linux" && ls | wc -l)
if [ ! -s "$work/linux/frames.txt" ]; then
  echo "compare-transcripts: the Linux run wrote no frames" >&2
  exit 1
fi
# The host reads the thirteen properties of an effect's list from the .aex's resource.
if ! grep -qx 'properties 13' "$work/windows/pipl.txt"; then
  echo "compare-transcripts: the .aex's PiPL resource does not decode to 13 properties" >&2
  exit 1
fi
if ! diff -r "$work/linux" "$work/windows"; then
  echo "compare-transcripts: the Windows module answered differently (outputs in $work)" >&2
  exit 1
fi
echo "== identical: $files files"
