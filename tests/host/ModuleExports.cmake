# Checks that the module exports exactly one dynamic symbol, EntryPointFunc.
#   cmake -DMODULE=<path> -DNM=<nm> -P ModuleExports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${MODULE}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
string(REGEX REPLACE "[^\n]* ([^\n]+)\n" "\\1;" names "${symbols}")
if(NOT result EQUAL 0 OR NOT names STREQUAL "EntryPointFunc;")
  message(FATAL_ERROR "expected only EntryPointFunc, nm (${result}) lists: ${names}")
endif()
