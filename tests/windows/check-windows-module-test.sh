#!/usr/bin/env bash
# scripts/check-windows-module must refuse each way a plug-in can go wrong for the host: each
# case links a small DLL with one fault and expects the matching reason; a sound DLL must
# pass. Among the faults are the ones a check of objdump's text let through: a PiPL at id 1033
# whose language is 16000 (numbers at the wrong level of the resource directory) and a
# delay-loaded DLL.
#   check-windows-module-test.sh WORK_DIR
set -euo pipefail
check=$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-windows-module
rm -rf "${1:?usage: $0 WORK_DIR}" && mkdir -p "$1" && cd "$1"

printf '\001\000\000\000\000\000\000\000\000\000' >pipl.bin
printf '%s\n' '#include <string>' \
  'extern "C" __declspec(dllexport) int EntryPointFunc(int n) { return int(std::to_string(n).size()); }' >entry.cpp
echo 'extern "C" int Helper(int n); extern "C" __declspec(dllexport) int EntryPointFunc(int n) { return Helper(n); }' >delayed.cpp
echo 'extern "C" __declspec(dllexport) int Other(int n) { return n; }' >extra.cpp
printf 'LIBRARY helper.dll\nEXPORTS\nHelper\n' >helper.def
x86_64-w64-mingw32-dlltool --input-def helper.def --output-delaylib helper-delay.a --dllname helper.dll
# name | resource script (language 16000 is primary language 0x280, sub-language 0xF)
while IFS='|' read -r name script; do
  printf '%b\n' "$script" >"$name.rc" && x86_64-w64-mingw32-windres "$name.rc" -O coff -o "$name.o"
done <<'RC'
good|16000 PIPL "pipl.bin"
wrongid|16001 PIPL "pipl.bin"
wronglang|LANGUAGE 0x07, 0x01\n16000 PIPL "pipl.bin"
two|16000 PIPL "pipl.bin"\n16001 PIPL "pipl.bin"
swapped|LANGUAGE 0x280, 0xF\n1033 PIPL "pipl.bin"
othertype|16000 PIPL "pipl.bin"\n1 RCDATA "pipl.bin"
RC

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

failures=0
# case | expected message, empty for a module that must pass | link arguments (all but
# runtime-dlls also take -static -static-libgcc -static-libstdc++)
while IFS='|' read -r name expected args; do
  [ "$name" = runtime-dlls ] || args+=" -static -static-libgcc -static-libstdc++"
  x86_64-w64-mingw32-g++-posix -shared -o "$name.aex" $args
  [ "$name" != delay-load ] || declare_delay_imports "$name.aex"
  if out=$("$check" "$name.aex" 2>&1); then
    [ -z "$expected" ] && echo "ok   $name" || { echo "FAIL $name: accepted"; failures=$((failures + 1)); }
  elif [ -n "$expected" ] && grep -q -- "$expected" <<<"$out"; then
    echo "ok   $name"
  else
    echo "FAIL $name: expected \"${expected:-success}\", got: $out"; failures=$((failures + 1))
  fi
done <<'CASES'
second-export|expected exactly EntryPointFunc|entry.cpp extra.cpp good.o
runtime-dlls|libstdc++-6.dll, which is not a Windows system DLL|entry.cpp good.o
no-resource|expected one resource type, PIPL, found types: none|entry.cpp
other-type|expected one resource type, PIPL|entry.cpp othertype.o
wrong-id|does not have id 16000|entry.cpp wrongid.o
wrong-language|does not have language 1033|entry.cpp wronglang.o
id-1033-language-16000|does not have id 16000 alone; ids: 1033|entry.cpp swapped.o
two-resources|does not have id 16000 alone; ids: 16000 16001|entry.cpp two.o
delay-load|delay-loads helper.dll|delayed.cpp good.o helper-delay.a
sound||entry.cpp good.o
CASES
echo "$failures failed"
[ "$failures" = 0 ]
