# Cross-compiling for 64-bit Windows (PE32+, x86_64) with MinGW-w64.
#
# The product is the 32-bit build (mingw-i686.cmake). This build of the same
# sources exists to run the end-to-end tests under 64-bit Wine on machines
# whose kernel cannot execute 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
