# Cross build of the 64-bit test variant: the same sources as the 32-bit deliverables, built
# for x86-64 so that they run under a Wine that can only start 64-bit programs. These are
# test builds, not deliverables: their outputs stay in the build folder (DIST_DIR below),
# never in dist/.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

set(DIST_DIR "${CMAKE_BINARY_DIR}/dist" CACHE PATH "Where the 64-bit test programs go")
