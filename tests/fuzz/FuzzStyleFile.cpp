// The style-file reader over arbitrary bytes (after the signature, so the
// fuzzer reaches the zlib stream and the strings behind it).
#include <cstddef>
#include <cstdint>
#include <string>

#include "shared/StyleFile.h"

using namespace Norvane::Shared;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string bytes(reinterpret_cast<const char*>(Data), Size);
    for (const std::string& file : {bytes, std::string(StyleFileSignature) + bytes}) {
        try {
            TStyleFile style = ReadStyleFile(file);
            ReadStyleFile(WriteStyleFile(style));
        } catch (const EStyleFileError&) {
        }
    }
    return 0;
}
