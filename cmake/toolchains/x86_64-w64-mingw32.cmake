# Cross build for 64-bit Windows with Debian's mingw-w64 (the -posix thread
# model, so std::thread and std::mutex work). Programs and libraries link
# libgcc, libstdc++ and winpthread statically: the files run alone.
#
#   cmake -S . -B build/windows64 \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake \
#     -DNORVANE_WIN_DEPS=<prefix of the cross-built libzip, PCRE2, GoogleTest>
#
# scripts/build-windows.sh does all of it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NORVANE_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${NORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NORVANE_MINGW_TRIPLET}-windres)

# The prefix of the cross-built dependencies: a cache variable, else the
# environment (try_compile projects see only the environment).
if(NOT NORVANE_WIN_DEPS AND DEFINED ENV{NORVANE_WIN_DEPS})
  set(NORVANE_WIN_DEPS $ENV{NORVANE_WIN_DEPS})
endif()
if(NORVANE_WIN_DEPS)
  set(ENV{NORVANE_WIN_DEPS} ${NORVANE_WIN_DEPS})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${NORVANE_MINGW_TRIPLET} ${NORVANE_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads only the target's .pc files, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} "${NORVANE_WIN_DEPS}/lib/pkgconfig:/usr/${NORVANE_MINGW_TRIPLET}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# The static zlib of libz-mingw-w64-dev rather than its import library.
set(ZLIB_USE_STATIC_LIBS ON)

# Programs are stripped: an unstripped image carries a COFF symbol table after
# its last section, which would read as an attached payload (the image ends
# where the section with the largest raw-data end ends).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
