# Cross-builds the 64-bit Windows plug-in with Debian's mingw-w64 compilers:
#   cmake -S . -B build/windows --toolchain cmake/mingw-w64-x86_64.cmake
# (scripts/build-windows does this). The posix thread model is the one whose libstdc++
# has std::thread and std::mutex, which the harness's render threads need.
#
# Everything the compiler would otherwise take from its own DLLs (libgcc, libstdc++,
# libwinpthread) is linked statically, so the .aex and the test programs load on a bare
# Windows with nothing beside them but the system's own DLLs.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VTAFX_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${VTAFX_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VTAFX_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VTAFX_MINGW_TRIPLE}-windres REQUIRED)
find_program(CMAKE_OBJDUMP NAMES ${VTAFX_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${VTAFX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static makes the linker prefer libwinpthread.a over its import library as well.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endforeach()

# Programs built here run on this machine under Wine: build steps that run a tool of the
# project (the property list writer) and tests. The Wine prefix lives in the build tree.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  get_filename_component(_vtafx_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${_vtafx_root}/scripts/wine;--prefix;${CMAKE_BINARY_DIR}/wineprefix")
endif()
