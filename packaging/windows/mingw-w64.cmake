# Cross compiling for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix:
# POSIX threads, which std::thread and Qt need), optionally against a Qt built for it.
#   cmake -DCMAKE_TOOLCHAIN_FILE=packaging/windows/mingw-w64.cmake -DQT_WINDOWS=DIR ...
# QT_WINDOWS (a cache variable or the environment's) is the prefix of a Qt for Windows, as
# tools/build-qt-windows.sh makes it; moc, rcc and uic come from the host's Qt of the same
# version (QT_HOST_PATH, Debian's qt6-base-dev-tools). Without QT_WINDOWS the file serves to
# build Qt itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT QT_WINDOWS AND DEFINED ENV{QT_WINDOWS})
    set(QT_WINDOWS "$ENV{QT_WINDOWS}")
endif()
if(QT_WINDOWS)
    # try_compile() projects see the same Qt.
    list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QT_WINDOWS)
    set(QT_WINDOWS "${QT_WINDOWS}" CACHE PATH "Prefix of the Qt built for Windows")
    list(PREPEND CMAKE_FIND_ROOT_PATH "${QT_WINDOWS}")
    list(PREPEND CMAKE_PREFIX_PATH "${QT_WINDOWS}")
    set(QT_HOST_PATH /usr CACHE PATH "Prefix of the host's Qt (moc, rcc, uic)")
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH
        "The host Qt's CMake packages")
    # This Qt is built without zstd, so rcc must not compress with it.
    set(CMAKE_AUTORCC_OPTIONS --no-zstd)
endif()
