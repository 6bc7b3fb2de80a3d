# Checks that the module exports exactly one dynamic symbol, EntryPointFunc.
#   cmake -DMODULE=<path> -DNM=<nm> -P ModuleExports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${MODULE}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${MODULE}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names ${name})
endforeach()
if(NOT names STREQUAL "EntryPointFunc")
  message(FATAL_ERROR "expected only EntryPointFunc, the module exports: ${names}")
endif()
