# Shared by the mingw-w64 toolchain files; HARROW_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${HARROW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HARROW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HARROW_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HARROW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One .exe that runs without the compiler's DLLs beside it, nor zlib's or
# libgcrypt's: Windows ships no zlib1.dll (wine does, so only the import
# check of the Windows stage would see one missing).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(ZLIB_USE_STATIC_LIBS ON)
set(GCRYPT_USE_STATIC_LIBS ON)
# ctest runs every test program under wine.
find_program(HARROW_WINE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HARROW_WINE})
