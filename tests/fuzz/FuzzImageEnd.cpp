// The image end of arbitrary executables (ELF and Portable Executable) and
// the payload after it: copied and mapped, both must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "shared/ExeUtils.h"

using namespace Norvane::Shared;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("norvane-fuzz-image-" + std::to_string(::getpid())))
            .string();
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file)
            return 0;
        std::fwrite(Data, 1, Size, file);
        std::fclose(file);
    }
    TExeUtils utils;
    try {
        std::int64_t end = TExeUtils::GetImageEndOfFile(path);
        if (end < 0)
            __builtin_trap();
        std::int64_t length = utils.PayloadSizeOfFile(path);
        if (length > 0) {
            TMemoryStream copy;
            utils.GetZipFromFile(path, copy);
            auto mapped = utils.MapZipFromFile(path);
            if (mapped->Size() != static_cast<std::uint64_t>(copy.Size()) ||
                std::memcmp(mapped->Data(), copy.Memory(), mapped->Size()) != 0 ||
                static_cast<std::uint64_t>(end) + mapped->Size() != Size)
                __builtin_trap();
        }
    } catch (const EExeUtilsError&) {
    }
    return 0;
}
