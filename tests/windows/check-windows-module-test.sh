#!/usr/bin/env bash
# The module check must refuse each way a plug-in can go wrong for the host: each case
# links a small DLL with one fault and expects scripts/check-windows-module to fail with
# the matching reason; a last, sound DLL must pass. Among the faults, the ones a check of
# objdump's text let through: a PiPL at id 1033 whose language is 16000 (numbers at the
# wrong level of the resource directory) and a delay-loaded DLL.
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
cat >delayed.cpp <<'CPP'
extern "C" int Helper(int n);
extern "C" __declspec(dllexport) int EntryPointFunc(int n) { return Helper(n); }
CPP
printf 'LIBRARY helper.dll\nEXPORTS\nHelper\n' >helper.def
x86_64-w64-mingw32-dlltool --input-def helper.def --output-delaylib helper-delay.a --dllname helper.dll
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
# Language 16000 is primary language 0x280, sub-language 0xF.
resource swapped 'LANGUAGE 0x280, 0xF
1033 PIPL "pipl.bin"'
resource othertype '16000 PIPL "pipl.bin"
1 RCDATA "pipl.bin"'

# GNU ld links dlltool's delay-load descriptor but leaves the PE's delay-import directory
# empty; the linkers that make real plug-ins fill it in, so the test does too.
declare_delay_imports() {
  /usr/bin/python3 - "$1" <<'PY'
import subprocess, sys
import pefile
module = sys.argv[1]
symbols = subprocess.run(["x86_64-w64-mingw32-nm", module], check=True, capture_output=True,
                         text=True).stdout.split("\n")
address = next(int(line.split()[0], 16) for line in symbols
               if line.endswith(" __DELAY_IMPORT_DESCRIPTOR_helper_delay_a"))
pe = pefile.PE(module)
directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT"]]
directory.VirtualAddress = address - pe.OPTIONAL_HEADER.ImageBase
directory.Size = 64  # the descriptor and the null one that ends the list
data = pe.write()
pe.close()
open(module, "wb").write(data)
PY
}

static=(-static -static-libgcc -static-libstdc++)
failures=0
# case name | expected message | link arguments
while IFS='|' read -r name expected args; do
  eval "link=($args)"
  "$cxx" -shared -o "$name.aex" "${link[@]}"
  if [ "$name" = delay-load ]; then declare_delay_imports "$name.aex"; fi
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
no-resource|expected one resource type, PIPL, found types: none|entry.cpp "${static[@]}"
other-type|expected one resource type, PIPL|entry.cpp othertype.o "${static[@]}"
wrong-id|does not have id 16000|entry.cpp wrongid.o "${static[@]}"
wrong-language|does not have language 1033|entry.cpp wronglang.o "${static[@]}"
id-1033-language-16000|does not have id 16000 alone; ids: 1033|entry.cpp swapped.o "${static[@]}"
two-resources|does not have id 16000 alone; ids: 16000 16001|entry.cpp two.o "${static[@]}"
delay-load|delay-loads helper.dll|delayed.cpp good.o helper-delay.a "${static[@]}"
CASES

"$cxx" -shared -o sound.aex entry.cpp good.o "${static[@]}"
if "$root/scripts/check-windows-module" sound.aex >/dev/null; then
  echo "ok   sound"
else
  echo "FAIL sound: refused"; failures=$((failures + 1))
fi
echo "$failures failed"
[ "$failures" = 0 ]
