// The icon-file reader over arbitrary bytes, and the images it hands on.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "shared/IconFile.h"

using namespace Norvane::Shared;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    try {
        const TIconFile icon = TIconFile::Parse(std::vector<std::uint8_t>(Data, Data + Size), "fuzz");
        for (std::size_t i = 0; i < icon.Images.size(); ++i) {
            std::uint32_t w = 0, h = 0;
            icon.Images[i].StoredSize(w, h);
            icon.EntryBytes(i);
            icon.ImageFile(i);
        }
    } catch (const EIconFileError&) {
    }
    return 0;
}
