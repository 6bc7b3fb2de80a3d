# Compiler settings every target of the project links through `vtafx_flags`.
#
# The lens models and the resamplers must reproduce their reference results to the last
# bit, so the compiler may never fuse or reorder floating-point operations: no contraction
# into FMA, no fast-math, and no -march=native (which would let the compiler pick FMA or
# AVX code paths on the build machine).

add_library(vtafx_flags INTERFACE)

if(MSVC)
  target_compile_options(vtafx_flags INTERFACE /fp:precise /W4 /permissive- /utf-8)
else()
  target_compile_options(vtafx_flags INTERFACE
    -ffp-contract=off -fno-fast-math
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wcast-align -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
    -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12's straight-line vectoriser drops a double -> float -> double round trip when it
    # pairs the x and y halves of a point into one register: the value comes out unrounded.
    # Every position the effect and the tools hand on is rounded to float on purpose, so
    # that optimisation is off for every target, native and mingw alike.
    target_compile_options(vtafx_flags INTERFACE -fno-tree-slp-vectorize)
  endif()
  if(CMAKE_CROSSCOMPILING AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # The mingw-w64 GCC 12 at -O3 reports null dereferences, memcpy bounds and overreads
    # inside libstdc++'s own vector code once it inlines it into the tests. The same sources
    # build with these warnings on natively, so nothing real goes unreported.
    target_compile_options(vtafx_flags INTERFACE -Wno-null-dereference -Wno-array-bounds
      -Wno-stringop-overread)
  endif()
  if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC for 64-bit Windows cannot align the stack beyond 16 bytes, yet spills 32- and
    # 64-byte registers (the AVX2 and AVX-512 lens lanes) with aligned moves, which fault.
    # The assembler rewrites every aligned vector move as an unaligned one: same speed on
    # aligned data, no fault on the rest.
    target_compile_options(vtafx_flags INTERFACE -Wa,-muse-unaligned-vector-move)
  endif()
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|amd64" AND NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    # x86-64 always has SSE2; keeping the scalar maths on SSE (not x87) is what makes
    # double results identical across compilers. Anything newer is chosen at run time.
    target_compile_options(vtafx_flags INTERFACE -msse2 -mfpmath=sse)
  endif()
endif()

if(VTAFX_SANITIZE)
  if(MSVC)
    message(FATAL_ERROR "VTAFX_SANITIZE is only supported with GCC and Clang")
  endif()
  target_compile_options(vtafx_flags INTERFACE
    -fsanitize=${VTAFX_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(vtafx_flags INTERFACE -fsanitize=${VTAFX_SANITIZE})
endif()
