#!/usr/bin/env bash
# The module check must refuse each way a plug-in can go wrong for the host: each case
# links a small DLL with one fault and expects scripts/check-windows-module to fail with
# the matching reason; a last, sound DLL must pass.
#
#   check-windows-module-test.sh WORK_DIR
set -euo pipefail

work=${1:?usage: check-windows-module-test.sh WORK_DIR}
root=$(cd "$(dirname "$0")/../.." && pwd)
cxx=x86_64-w64-mingw32-g++-posix
windres=x86_64-w64-mingw32-windres
rm -rf "$work"
mkdir -p "$work"
cd "$work"

printf '\001\000\000\000\000\000\000\000\000\000' >pipl.bin
cat >entry.cpp <<'CPP'
#include <string>
extern "C" __declspec(dllexport) int EntryPointFunc(int n) { return int(std::to_string(n).size()); }
CPP
cat >extra.cpp <<'CPP'
extern "C" __declspec(dllexport) int Other(int n) { return n; }
CPP

resource() {  # name, resource script
  printf '%s\n' "$2" >"$1.rc"
  "$windres" "$1.rc" -O coff -o "$1.o"
}
resource good '16000 PIPL "pipl.bin"'
resource wrongid '16001 PIPL "pipl.bin"'
resource wronglang 'LANGUAGE 0x07, 0x01
16000 PIPL "pipl.bin"'
resource two '16000 PIPL "pipl.bin"
16001 PIPL "pipl.bin"'

static=(-static -static-libgcc -static-libstdc++)
failures=0
# case name | expected message | link arguments
while IFS='|' read -r name expected args; do
  eval "link=($args)"
  "$cxx" -shared -o "$name.aex" "${link[@]}"
  if out=$("$root/scripts/check-windows-module" "$name.aex" 2>&1); then
    echo "FAIL $name: accepted"; failures=$((failures + 1))
  elif ! grep -q -- "$expected" <<<"$out"; then
    echo "FAIL $name: expected \"$expected\", got: $out"; failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
done <<'CASES'
second-export|expected exactly EntryPointFunc|entry.cpp extra.cpp good.o "${static[@]}"
runtime-dlls|libstdc++-6.dll, which is not a Windows system DLL|entry.cpp good.o
no-resource|no resource of type PIPL|entry.cpp "${static[@]}"
wrong-id|does not have id 16000|entry.cpp wrongid.o "${static[@]}"
wrong-language|does not have language 1033|entry.cpp wronglang.o "${static[@]}"
two-resources|expected exactly one resource|entry.cpp two.o "${static[@]}"
CASES

"$cxx" -shared -o sound.aex entry.cpp good.o "${static[@]}"
if "$root/scripts/check-windows-module" sound.aex >/dev/null; then
  echo "ok   sound"
else
  echo "FAIL sound: refused"; failures=$((failures + 1))
fi
echo "$failures failed"
[ "$failures" = 0 ]
