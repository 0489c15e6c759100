# Cross build of the Windows deliverables: 32-bit x86, mingw-w64 with POSIX threads
# (std::thread and std::mutex need the posix flavour of the runtime).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
