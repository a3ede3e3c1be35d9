// Loading a shared library from bytes in memory: the start program of the
// runtime on Linux (RuntimeStart.cpp) carries the runtime library inside its
// own image and loads it with this. Plain C library calls only, so that the
// start program links nothing but the C library.
#pragma once

#include <cstddef>

namespace Norvane::Platform::Start {

enum class TImagePlace {
    // An anonymous memory file (memfd_create), named in /proc/self/fd; its
    // descriptor (close-on-exec) stays open while the library is loaded.
    MemoryFile,
    // A temporary file in $XDG_RUNTIME_DIR (else $TMPDIR, else /tmp), removed
    // as soon as the library is loaded; for systems that refuse to run code
    // from memory files.
    TemporaryFile,
};

// Writes Size bytes of Image to Place and loads them with dlopen (RTLD_NOW |
// RTLD_LOCAL: the library's dependencies stay out of the program's global
// scope). Returns the handle, or nullptr with the reason written to Error
// (Error is always terminated when ErrorSize > 0).
void* OpenLibraryImage(const unsigned char* Image, std::size_t Size, TImagePlace Place, char* Error,
                       std::size_t ErrorSize);

} // namespace Norvane::Platform::Start
