# Cross build for 64-bit Windows with Debian's mingw-w64 (the -posix thread
# model, so std::thread and std::mutex work). Programs and libraries link
# libgcc, libstdc++ and winpthread statically: the files run alone.
#
#   cmake -S . -B build/windows64 \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake \
#     -DNORVANE_WIN_DEPS=<prefix of the cross-built libzip, PCRE2, GoogleTest>
#
# scripts/build-windows.sh does all of it.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NORVANE_MINGW_TRIPLET x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
