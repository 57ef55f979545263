# The MinGW-w64 cross toolchain for the processor the including file names in
# CMAKE_SYSTEM_PROCESSOR (i686 or x86_64).
set(CMAKE_SYSTEM_NAME Windows)
set(QL_MINGW_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
# The compiler's thread model: win32 (the programs as they ship: no threading library, nothing
# newer than the oldest systems they are for) unless QL_MINGW_THREADS says posix (winpthreads),
# which GoogleTest needs for std::mutex, missing from GCC 12's win32 model.
if(NOT QL_MINGW_THREADS)
  set(QL_MINGW_THREADS win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QL_MINGW_THREADS)
set(CMAKE_C_COMPILER ${QL_MINGW_TRIPLE}-gcc-${QL_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${QL_MINGW_TRIPLE}-g++-${QL_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${QL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
