# Cross build for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64.cmake
# The "posix" flavour of the compiler carries std::thread and std::mutex; the programs are
# linked statically, so each .exe is one file without the compiler's DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NIMBREL_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${NIMBREL_MINGW_PREFIX}-gcc-posix ${NIMBREL_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${NIMBREL_MINGW_PREFIX}-g++-posix ${NIMBREL_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${NIMBREL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NIMBREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 8 or later: CancelIoEx, the device-interface calls and virtual-terminal consoles;
# the C library's printf family as the C standard has it (not the system DLL's variant).
add_compile_definitions(_WIN32_WINNT=0x0602 WINVER=0x0602 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
  __USE_MINGW_ANSI_STDIO=1)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run under Wine (tests, test discovery).
find_program(NIMBREL_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(NIMBREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NIMBREL_WINE})
endif()
