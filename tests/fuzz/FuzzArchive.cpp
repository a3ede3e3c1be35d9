// The payload archive reader over arbitrary bytes: open, list, find, and
// every entry read through as a stream (with a seek back) and extracted.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "shared/ExeZip.h"
#include "shared/PayloadFormat.h"

using namespace Norvane::Shared;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    try {
        zip.Open(Data, Size);
    } catch (const EZipError&) {
        return 0;
    }
    std::vector<std::uint8_t> buffer(64 * 1024);
    auto entries = zip.Entries();
    for (std::size_t i = 0; i < entries.size() && i < 32; ++i) {
        const auto& e = entries[i];
        if (zip.FindEntry(e.Name) < 0)
            __builtin_trap(); // every listed name is found
        try {
            auto stream = zip.OpenEntry(e.Name);
            std::int64_t total = 0;
            // Bounded: a lying size must not make the harness run for long.
            for (int reads = 0; reads < 64; ++reads) {
                std::int64_t n = stream->Read(buffer.data(), static_cast<std::int64_t>(buffer.size()));
                if (n == 0)
                    break;
                total += n;
            }
            stream->Seek(total / 2, TSeekOrigin::soBeginning);
            stream->Read(buffer.data(), 100);
            if (e.Size <= 1024 * 1024)
                zip.ExtractEntryToString(e.Name);
        } catch (const EZipError&) {
        }
    }
    zip.FindEntry("qvx.ini");
    return 0;
}
