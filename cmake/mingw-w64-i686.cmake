set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
# The compiler's thread model: win32 (the programs as they ship: no threading library, nothing
# newer than the oldest systems they are for) unless QL_MINGW_THREADS says posix (winpthreads),
# which GoogleTest needs for std::mutex, missing from GCC 12's win32 model.
if(NOT QL_MINGW_THREADS)
  set(QL_MINGW_THREADS win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QL_MINGW_THREADS)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${QL_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${QL_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
