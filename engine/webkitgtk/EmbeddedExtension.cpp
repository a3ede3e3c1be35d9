#include "engine/webkitgtk/EmbeddedExtension.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#ifndef NORVANE_EXTENSION_BINARY
#error "NORVANE_EXTENSION_BINARY must name the built extension library"
#endif

// The extension library's bytes, carried in the engine's read-only data.
asm(".section .rodata.norvane_extension,\"a\",@progbits\n"
    ".balign 16\n"
    ".globl NorvaneExtensionBegin\n"
    ".hidden NorvaneExtensionBegin\n"
    "NorvaneExtensionBegin:\n"
    ".incbin \"" NORVANE_EXTENSION_BINARY "\"\n"
    ".globl NorvaneExtensionEnd\n"
    ".hidden NorvaneExtensionEnd\n"
    "NorvaneExtensionEnd:\n"
    ".previous\n");

extern "C" {
extern const unsigned char NorvaneExtensionBegin[];
extern const unsigned char NorvaneExtensionEnd[];
}

namespace Norvane::Engine {

namespace {

const char Anchor = 0;

bool SameContent(const std::string& Path, const unsigned char* Data, std::size_t Size) {
    std::ifstream In(Path, std::ios::binary);
    if (!In)
        return false;
    std::vector<char> Existing((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    return Existing.size() == Size && std::memcmp(Existing.data(), Data, Size) == 0;
}

// Writes the carried extension as Folder/ExtensionFileName unless it is there.
bool EnsureExtensionIn(const std::string& Folder) {
    const auto* Data = NorvaneExtensionBegin;
    const auto Size = static_cast<std::size_t>(NorvaneExtensionEnd - NorvaneExtensionBegin);
    const std::string Target = Folder + "/" + ExtensionFileName;
    if (SameContent(Target, Data, Size))
        return true;
    if (g_mkdir_with_parents(Folder.c_str(), 0700) != 0)
        return false;
    // Write aside and rename, so a content process never loads half a file.
    const std::string Temporary = Target + ".tmp" + std::to_string(getpid());
    {
        std::ofstream Out(Temporary, std::ios::binary | std::ios::trunc);
        if (!Out)
            return false;
        Out.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
        if (!Out) {
            std::remove(Temporary.c_str());
            return false;
        }
    }
    if (std::rename(Temporary.c_str(), Target.c_str()) != 0) {
        std::remove(Temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string EngineLibraryDirectory() {
    Dl_info Info{};
    if (dladdr(&Anchor, &Info) == 0 || !Info.dli_fname)
        return "";
    std::error_code Error;
    const std::filesystem::path Library = std::filesystem::absolute(Info.dli_fname, Error);
    return Error ? "" : Library.parent_path().string();
}

std::string PrepareExtensionDirectory() {
    const std::string Beside = EngineLibraryDirectory();
    if (!Beside.empty()) {
        const std::string Folder = Beside + "/" + ExtensionFolderName;
        if (EnsureExtensionIn(Folder))
            return Folder;
    }
    const auto Size = static_cast<gsize>(NorvaneExtensionEnd - NorvaneExtensionBegin);
    gchar* Digest = g_compute_checksum_for_data(G_CHECKSUM_SHA256, NorvaneExtensionBegin, Size);
    const std::string Folder =
        std::string(g_get_user_cache_dir()) + "/norvane-engine/" + std::string(Digest, 16);
    g_free(Digest);
    return EnsureExtensionIn(Folder) ? Folder : "";
}

} // namespace Norvane::Engine
