# 32-bit Windows DLLs (the hosts the plug-ins were first made for).
set(ORV_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
