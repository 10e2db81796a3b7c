# Cross-builds for 64-bit Windows with Debian's MinGW-w64 compilers (the -posix ones, whose
# standard library has std::thread and std::mutex), every program linked statically, so that
# talvor-cli.exe is the one file a workstation needs.
#
# TALVOR_WINDOWS_SYSROOT is the folder that holds what the Windows side has of the system's
# libraries: SQLite built for Windows (lib/libsqlite3.a, include/sqlite3.h), CLI11's and fmt's
# headers and CLI11's CMake package (scripts/windows_build.sh fills it). Nothing under /usr
# is searched for headers or libraries, so a Linux header cannot stand in for one Windows
# lacks.
#
# ODBC: Windows' own driver manager is odbc32, whose import library comes with MinGW-w64
# (/usr/x86_64-w64-mingw32/lib/libodbc32.a); CMake's find_package(ODBC) finds it through the
# search roots below, so an ODBC backend needs nothing more from this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALVOR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TALVOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALVOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TALVOR_MINGW_TRIPLE}-windres)

# Read again by try_compile's own projects, which see only variables passed on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TALVOR_WINDOWS_SYSROOT)
if(NOT TALVOR_WINDOWS_SYSROOT)
  set(TALVOR_WINDOWS_SYSROOT $ENV{TALVOR_WINDOWS_SYSROOT})
endif()

set(CMAKE_FIND_ROOT_PATH ${TALVOR_WINDOWS_SYSROOT} /usr/${TALVOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only static archives: a DLL beside the program is a second file to copy.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# fmt is used header-only here: no compiled fmt exists for Windows.
set(CMAKE_CXX_FLAGS_INIT "-DFMT_HEADER_ONLY")
# The C++ runtime, libgcc and winpthreads go into the program itself.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
