# Cross-compiling for 32-bit Windows (PE32, i686) with MinGW-w64: the product.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
