# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix). The POSIX
# thread flavour is the one whose libstdc++ has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNEL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static, winpthread included: each .exe runs alone, with no MinGW DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine. Listing a test executable's cases waits for ctest, so that building
# needs no Wine prefix.
find_program(VARNEL_WINE wine)
if(VARNEL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VARNEL_WINE})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
