// The runtime's program on Linux: a start program that links only the C
// library and carries the runtime (libnorvane-runtime.so, with GTK and every
// other dependency) inside its own image. It loads the runtime from memory and
// hands it the process. So the program's global symbol scope holds only this
// program and the C library, and the engine library, loaded later by the
// runtime, resolves its symbols as fast as in a program linked with WebKitGTK
// (docs/ARCHITECTURE.md, "Start-up on Linux").
#include <dlfcn.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/posix/start/LibraryImage.h"

#ifndef NORVANE_RUNTIME_LIBRARY_FILE
#error "NORVANE_RUNTIME_LIBRARY_FILE names the runtime library to carry"
#endif

extern "C" {
extern const unsigned char NorvaneRuntimeImage[];
extern const unsigned char NorvaneRuntimeImageEnd[];
}

// The library's bytes, read-only and aligned like a page of the file they came from.
asm(".section .rodata.norvane_runtime,\"a\"\n"
    ".balign 4096\n"
    ".globl NorvaneRuntimeImage\n"
    ".hidden NorvaneRuntimeImage\n"
    "NorvaneRuntimeImage:\n"
    ".incbin \"" NORVANE_RUNTIME_LIBRARY_FILE "\"\n"
    ".globl NorvaneRuntimeImageEnd\n"
    ".hidden NorvaneRuntimeImageEnd\n"
    "NorvaneRuntimeImageEnd:\n"
    ".previous\n");

int main(int argc, char** argv) {
    using namespace Norvane::Platform::Start;
    const auto Size = static_cast<std::size_t>(NorvaneRuntimeImageEnd - NorvaneRuntimeImage);
    char MemoryError[512];
    char FileError[512];
    void* Library =
        OpenLibraryImage(NorvaneRuntimeImage, Size, TImagePlace::MemoryFile, MemoryError, sizeof MemoryError);
    if (!Library)
        Library = OpenLibraryImage(NorvaneRuntimeImage, Size, TImagePlace::TemporaryFile, FileError,
                                   sizeof FileError);
    const char* Program = argc > 0 ? argv[0] : "norvane-runtime";
    if (!Library) {
        // A missing dependency fails both ways alike: said once.
        std::fprintf(stderr, "%s: %s\n", Program, MemoryError);
        if (std::strcmp(MemoryError, FileError) != 0)
            std::fprintf(stderr, "%s: %s\n", Program, FileError);
        return 127;
    }
    using TEntry = int (*)(int, char**);
    auto Entry = reinterpret_cast<TEntry>(::dlsym(Library, "NorvaneRuntimeMain"));
    if (!Entry) {
        std::fprintf(stderr, "%s: the runtime library has no entry\n", Program);
        return 127;
    }
    return Entry(argc, argv);
}
