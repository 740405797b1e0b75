# Cross build of tamsel.exe with Clang and lld for 32-bit Windows (the MinGW import libraries
# and windres still come from Debian's MinGW-w64 packages).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Clang does not find MinGW's C++ runtime libraries, and tamsel.exe needs none: check the
# compiler by building a library rather than a whole program.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
