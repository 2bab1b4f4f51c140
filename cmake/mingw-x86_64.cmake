# Cross-compiles the 64-bit Windows build: the same program for 64-bit
# Windows, and the build whose tests run where the kernel refuses 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
