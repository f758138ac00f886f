# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which std::thread
# and std::mutex need). Tests run under Wine through the runner beside this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LARKSPAN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LARKSPAN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LARKSPAN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LARKSPAN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LARKSPAN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A copy of this file kept beside an installed Qt has no runner next to it; nothing runs there.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/wine-run)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
endif()
