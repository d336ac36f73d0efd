# Cross-builds the Qt-free core for 64-bit Windows with Debian's mingw-w64 (POSIX threads, for
# std::thread and std::mutex). The runtime is linked statically, so a test needs no DLL beside
# it, and every test runs under Wine through wine-run.sh with a Wine prefix of this build folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUENVOR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUENVOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUENVOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUENVOR_MINGW_TRIPLE}-windres)

# Libraries made for Windows by scripts/install-windows-deps.sh live in QUENVOR_WINDOWS_DEPS:
# GoogleTest installed in prefix/, the SQLite amalgamation in sqlite/.
set(CMAKE_FIND_ROOT_PATH /usr/${QUENVOR_MINGW_TRIPLE} ${QUENVOR_WINDOWS_DEPS}/prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUENVOR_WINDOWS_DEPS)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wine)
