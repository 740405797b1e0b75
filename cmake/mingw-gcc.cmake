# Cross build of tamsel.exe with Debian's MinGW-w64 GCC for 32-bit Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
# Debian installs the compiler twice, its win32 and posix thread models, and lets a system-wide
# choice pick one for the plain names. The release's BUILDINFO names the win32 packages, so
# these are the ones used.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
