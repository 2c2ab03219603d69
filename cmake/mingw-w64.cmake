# Shared part of the two mingw-w64 toolchains (i686-w64-mingw32.cmake and
# x86_64-w64-mingw32.cmake set ORV_MINGW_ARCH and include this file).
#
# The posix-threads variant of Debian's compilers: std::thread and std::mutex
# work, and its winpthread links statically like the rest of the runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ORV_MINGW_ARCH})
set(ORV_MINGW_TRIPLE ${ORV_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${ORV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A plug-in is one file: libgcc, libstdc++ and winpthread go inside it, so a
# host needs nothing beside the DLL but Windows' own system DLLs.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static")
endforeach()

if(ORV_MINGW_ARCH STREQUAL "i686")
  # Hosts call 32-bit plug-ins with only 4-byte stack alignment; every
  # function that keeps SSE values on the stack realigns it on entry.
  # SSE2 arithmetic gives the same double rounding as the 64-bit builds
  # (no 80-bit x87 intermediates).
  set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
  set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
endif()

# ctest runs the built programs under wine, in a private prefix, headless.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
