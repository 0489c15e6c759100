# Cross build of the 64-bit test variant: the same sources as the 32-bit deliverables, built
# for x86-64 so that they run under a Wine that can only start 64-bit programs. These are
# test builds, not deliverables: their outputs stay in the build folder (DIST_DIR below),
# never in dist/.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(DIST_DIR "${CMAKE_BINARY_DIR}/dist" CACHE PATH "Where the 64-bit test programs go")
