# The part of the mingw-w64 cross builds that both word sizes share; the
# toolchain file of each (i686-w64-mingw32.cmake, x86_64-w64-mingw32.cmake)
# sets CMAKE_SYSTEM_PROCESSOR and NORVANE_MINGW_TRIPLET, then includes this.
set(CMAKE_SYSTEM_NAME Windows)

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
