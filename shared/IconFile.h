// Windows icon files (.ico): a directory of images, each stored whole (a
// device-independent bitmap or a PNG) at an offset in the file. Read with
// every size and offset checked, so that a damaged file is refused with a
// message instead of being half used.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace Norvane::Shared {

class EIconFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TIconImage {
    // The first 12 bytes of the file's directory entry, as an icon group
    // resource repeats them: width, height, colour count, reserved, planes,
    // bits per pixel, image size.
    std::uint8_t Width = 0; // 0 means 256
    std::uint8_t Height = 0;
    std::uint8_t ColourCount = 0;
    std::uint8_t Reserved = 0;
    std::uint16_t Planes = 0;
    std::uint16_t BitCount = 0;
    std::vector<std::uint8_t> Data; // the image's bytes; its size is the entry's image size

    int PixelWidth() const { return Width == 0 ? 256 : Width; }
    int PixelHeight() const { return Height == 0 ? 256 : Height; }
    bool IsPng() const;
    // The size of the stored image itself (a PNG's header, or the bitmap
    // header's width and half its height); false when it cannot be read.
    bool StoredSize(std::uint32_t& W, std::uint32_t& H) const;
};

class TIconFile {
public:
    static constexpr std::uint64_t MaxFileSize = 64 * 1024 * 1024;
    static constexpr std::uint16_t MaxImages = 256;

    // Raises EIconFileError naming the file and what is wrong with it.
    static TIconFile Load(const std::string& Path);
    // Source names the data in messages.
    static TIconFile Parse(const std::vector<std::uint8_t>& Bytes, const std::string& Source);

    std::uint16_t Reserved = 0;
    std::uint16_t Type = 1;
    std::vector<TIconImage> Images;

    // The 12 directory bytes of image I (little-endian), as listed above.
    std::vector<std::uint8_t> EntryBytes(std::size_t I) const;
    // Image I as a file of its own for an image decoder: a PNG image as it
    // is, a bitmap as an icon file that holds it alone.
    std::string ImageFile(std::size_t I) const;
};

} // namespace Norvane::Shared
