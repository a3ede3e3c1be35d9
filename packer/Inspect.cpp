// norvane-pack list / cat / extract: read a packaged executable's payload with
// the same reader the runtime uses.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "packer/Commands.h"
#include "packer/PackError.h"
#include "platform/Console.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "shared/ExeUtils.h"
#include "shared/ExeZip.h"
#include "shared/PayloadFormat.h"
#include "shared/Streams.h"

namespace fs = std::filesystem;
using Norvane::Platform::PathFromUtf8;
using Norvane::Platform::Utf8FromPath;

namespace Norvane::Packer {
namespace {

using namespace Norvane::Shared;

// The payload of ExePath read in place (mapped), opened as the payload archive.
struct TOpenPayload {
    std::unique_ptr<TMappedPayload> Payload;
    TExeZip Zip;

    explicit TOpenPayload(const std::string& ExePath) {
        TExeUtils utils;
        try {
            Payload = utils.MapZipFromFile(ExePath);
        } catch (const EExeUtilsError& e) {
            throw EPackError(e.what());
        }
        Zip.SetPassword(PayloadPassword);
        try {
            Zip.Open(Payload->Data(), Payload->Size(), true);
        } catch (const EZipError& e) {
            throw EPackError("The payload of \"" + ExePath + "\" is damaged: " + e.what());
        }
    }
};

std::string MethodName(std::uint16_t Method) {
    switch (Method) {
    case 0:
        return "stored";
    case 8:
        return "deflated";
    default:
        return "method " + std::to_string(Method);
    }
}

} // namespace

void Warn(const std::string& Text) {
    std::fprintf(stderr, "norvane-pack: warning: %s\n", Text.c_str());
}

void Note(const std::string& Text) {
    std::fprintf(stderr, "norvane-pack: %s\n", Text.c_str());
}

void ListPayload(const std::string& ExePath) {
    TOpenPayload payload(ExePath);
    auto entries = payload.Zip.Entries();
    std::printf("%12s  %-8s  %s\n", "Size", "Method", "Name");
    for (const auto& e : entries)
        std::printf("%12llu  %-8s  %s\n", static_cast<unsigned long long>(e.Size),
                    MethodName(e.Method).c_str(), e.Name.c_str());
    if (entries.empty())
        Note("the payload archive of \"" + ExePath + "\" has no entries");
    if (std::fflush(stdout) != 0)
        throw EPackError("Cannot write to standard output");
}

void CatEntry(const std::string& ExePath, const std::string& EntryName) {
    TOpenPayload payload(ExePath);
    if (payload.Zip.FindEntry(EntryName) < 0)
        throw EPackError("The payload of \"" + ExePath + "\" has no entry \"" + EntryName + "\"");
    // Streamed: decoded piece by piece as it is written. Damaged data found on
    // the way ends the command with an error after what was good was written.
    std::fflush(stdout);
    Platform::SetBinaryMode(Platform::StdOut);
    try {
        std::unique_ptr<TZipEntryStream> entry = payload.Zip.OpenEntry(EntryName);
        std::vector<std::uint8_t> buffer(64 * 1024);
        for (;;) {
            std::int64_t n = entry->Read(buffer.data(), static_cast<std::int64_t>(buffer.size()));
            if (n == 0)
                break;
            if (std::fwrite(buffer.data(), 1, static_cast<std::size_t>(n), stdout) !=
                static_cast<std::size_t>(n))
                throw EPackError("Cannot write to standard output");
        }
    } catch (const EZipError& e) {
        throw EPackError(e.what());
    }
    if (std::fflush(stdout) != 0)
        throw EPackError("Cannot write to standard output");
}

void ExtractPayload(const std::string& ExePath, const std::string& ZipPath) {
    // Checked as an archive first, so that nothing is written for a damaged payload.
    TOpenPayload payload(ExePath);
    const fs::path target = PathFromUtf8(ZipPath);
    std::error_code ec;
    if (fs::is_directory(target, ec))
        throw EPackError("The output \"" + ZipPath + "\" is a folder");
    fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const fs::path temporary = dir / PathFromUtf8(std::string(".")
                                                      .append(Utf8FromPath(target.filename()))
                                                      .append(".norvane-pack-")
                                                      .append(std::to_string(Platform::CurrentProcessId())));
    TExeUtils utils;
    try {
        utils.ExtractZipFromFile(ExePath, Utf8FromPath(temporary));
        if (TExeUtils::GetFileSize(Utf8FromPath(temporary)) !=
            static_cast<std::int64_t>(payload.Payload->Size()))
            throw EPackError("The payload written to \"" + Utf8FromPath(temporary) + "\" is incomplete");
    } catch (const std::exception& e) {
        fs::remove(temporary, ec);
        throw EPackError(e.what());
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw EPackError("Cannot move the archive into place as \"" + ZipPath + "\": " + ec.message());
    }
}

} // namespace Norvane::Packer
