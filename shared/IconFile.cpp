#include "shared/IconFile.h"

#include <algorithm>
#include <filesystem>

#include "platform/Paths.h"
#include "shared/Streams.h"

namespace Norvane::Shared {
namespace {

std::uint16_t U16(const std::vector<std::uint8_t>& B, std::size_t At) {
    return static_cast<std::uint16_t>(B[At] | (B[At + 1] << 8));
}

std::uint32_t U32(const std::vector<std::uint8_t>& B, std::size_t At) {
    return static_cast<std::uint32_t>(B[At]) | (static_cast<std::uint32_t>(B[At + 1]) << 8) |
           (static_cast<std::uint32_t>(B[At + 2]) << 16) | (static_cast<std::uint32_t>(B[At + 3]) << 24);
}

} // namespace

bool TIconImage::IsPng() const {
    static const std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return Data.size() >= 8 && std::equal(Signature, Signature + 8, Data.begin());
}

bool TIconImage::StoredSize(std::uint32_t& W, std::uint32_t& H) const {
    if (IsPng()) {
        if (Data.size() < 24)
            return false;
        auto big = [&](std::size_t At) {
            return (std::uint32_t(Data[At]) << 24) | (std::uint32_t(Data[At + 1]) << 16) |
                   (std::uint32_t(Data[At + 2]) << 8) | Data[At + 3];
        };
        W = big(16);
        H = big(20);
        return true;
    }
    if (Data.size() < 40)
        return false;
    auto width = static_cast<std::int32_t>(U32(Data, 4));
    auto height = static_cast<std::int32_t>(U32(Data, 8));
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return false;
    W = static_cast<std::uint32_t>(width);
    H = static_cast<std::uint32_t>(height < 0 ? -height : height) / 2;
    return true;
}

TIconFile TIconFile::Load(const std::string& Path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(Platform::PathFromUtf8(Path), ec))
        throw EIconFileError("The icon file \"" + Path + "\" does not exist or is not a file");
    auto size = std::filesystem::file_size(Platform::PathFromUtf8(Path), ec);
    if (ec)
        throw EIconFileError("Cannot read the icon file \"" + Path + "\": " + ec.message());
    if (size > MaxFileSize)
        throw EIconFileError("The icon file \"" + Path + "\" has " + std::to_string(size) +
                             " bytes; icon files larger than " + std::to_string(MaxFileSize >> 20) +
                             " MiB are not accepted");
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadFileBytes(Path);
    } catch (const std::exception& e) {
        throw EIconFileError("Cannot read the icon file \"" + Path + "\": " + e.what());
    }
    return Parse(bytes, Path);
}

TIconFile TIconFile::Parse(const std::vector<std::uint8_t>& Bytes, const std::string& Source) {
    auto refuse = [&](const std::string& What) {
        throw EIconFileError("\"" + Source + "\" is not a usable icon file: " + What);
    };
    if (Bytes.size() > MaxFileSize)
        refuse("it is larger than " + std::to_string(MaxFileSize >> 20) + " MiB");
    if (Bytes.size() < 6)
        refuse("it is shorter than the 6-byte icon header");
    TIconFile icon;
    icon.Reserved = U16(Bytes, 0);
    icon.Type = U16(Bytes, 2);
    std::uint16_t count = U16(Bytes, 4);
    if (icon.Reserved != 0 || icon.Type != 1)
        refuse("its header is not that of an icon (reserved " + std::to_string(icon.Reserved) + ", type " +
               std::to_string(icon.Type) + " instead of 0 and 1)");
    if (count == 0)
        refuse("it holds no images");
    if (count > MaxImages)
        refuse("it claims " + std::to_string(count) + " images; at most " + std::to_string(MaxImages) +
               " are accepted");
    std::uint64_t directoryEnd = 6 + 16ull * count;
    if (directoryEnd > Bytes.size())
        refuse("it is truncated: its directory of " + std::to_string(count) + " images needs " +
               std::to_string(directoryEnd) + " bytes, the file has " + std::to_string(Bytes.size()));
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = 6 + 16 * i;
        TIconImage image;
        image.Width = Bytes[at];
        image.Height = Bytes[at + 1];
        image.ColourCount = Bytes[at + 2];
        image.Reserved = Bytes[at + 3];
        image.Planes = U16(Bytes, at + 4);
        image.BitCount = U16(Bytes, at + 6);
        std::uint64_t size = U32(Bytes, at + 8);
        std::uint64_t offset = U32(Bytes, at + 12);
        std::string name = "image " + std::to_string(i + 1);
        if (size == 0)
            refuse(name + " is empty");
        if (offset < directoryEnd)
            refuse(name + " starts at byte " + std::to_string(offset) + ", inside the icon directory");
        if (offset > Bytes.size() || size > Bytes.size() - offset)
            refuse(name + " claims " + std::to_string(size) + " bytes at byte " + std::to_string(offset) +
                   ", past the end of the " + std::to_string(Bytes.size()) + "-byte file");
        image.Data.assign(Bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                          Bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
        bool png = image.IsPng();
        if (!png && (image.Data.size() < 40 || U32(image.Data, 0) < 40))
            refuse(name + " is neither a PNG nor a bitmap (no bitmap header)");
        icon.Images.push_back(std::move(image));
    }
    return icon;
}

std::vector<std::uint8_t> TIconFile::EntryBytes(std::size_t I) const {
    const TIconImage& image = Images.at(I);
    auto size = static_cast<std::uint32_t>(image.Data.size());
    return {image.Width,
            image.Height,
            image.ColourCount,
            image.Reserved,
            static_cast<std::uint8_t>(image.Planes),
            static_cast<std::uint8_t>(image.Planes >> 8),
            static_cast<std::uint8_t>(image.BitCount),
            static_cast<std::uint8_t>(image.BitCount >> 8),
            static_cast<std::uint8_t>(size),
            static_cast<std::uint8_t>(size >> 8),
            static_cast<std::uint8_t>(size >> 16),
            static_cast<std::uint8_t>(size >> 24)};
}

} // namespace Norvane::Shared

namespace Norvane::Shared {

std::string TIconFile::ImageFile(std::size_t I) const {
    if (Images.at(I).IsPng())
        return std::string(Images[I].Data.begin(), Images[I].Data.end());
    auto entry = EntryBytes(I);
    std::string file = {0, 0, 1, 0, 1, 0};
    file.append(entry.begin(), entry.end());
    file += std::string{22, 0, 0, 0}; // the image follows the 22-byte header
    file.append(Images[I].Data.begin(), Images[I].Data.end());
    return file;
}

} // namespace Norvane::Shared
