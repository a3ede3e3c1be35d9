#include "shared/StyleFile.h"

#include "platform/Text.h"

#include <cstdint>
#include <zlib.h>

namespace Norvane::Shared {
namespace {

std::string Inflate(std::string_view Compressed) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        throw EStyleFileError("The style data cannot be unpacked");
    std::string out;
    char chunk[16384];
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Compressed.data()));
    z.avail_in = static_cast<uInt>(Compressed.size());
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            inflateEnd(&z);
            throw EStyleFileError(rc == Z_BUF_ERROR ? "The style data is truncated"
                                                    : "The style data is damaged");
        }
        out.append(chunk, sizeof chunk - z.avail_out);
        if (out.size() > MaxStyleDataSize) {
            inflateEnd(&z);
            throw EStyleFileError("The style data is larger than " + std::to_string(MaxStyleDataSize >> 20) +
                                  " MB");
        }
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) {
            inflateEnd(&z);
            throw EStyleFileError("The style data is truncated");
        }
    }
    inflateEnd(&z);
    return out;
}

class TReader {
public:
    explicit TReader(std::string_view Data) : FData(Data) {}

    std::uint32_t Count(const char* What) {
        if (FData.size() - FPos < 4)
            throw EStyleFileError(std::string("The style data ends inside the length of ") + What);
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(FData[FPos + i]);
        FPos += 4;
        return v;
    }

    std::string String(const char* What) {
        std::uint32_t units = Count(What);
        if (units > (FData.size() - FPos) / 2)
            throw EStyleFileError(std::string("The length of ") + What + " (" + std::to_string(units) +
                                  " characters) runs past the end of the style data");
        std::string out;
        const std::size_t end = FPos + std::size_t{units} * 2;
        while (FPos < end) {
            char32_t unit = Unit(FPos);
            FPos += 2;
            if (unit >= 0xD800 && unit <= 0xDBFF && FPos < end && Unit(FPos) >= 0xDC00 &&
                Unit(FPos) <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (Unit(FPos) - 0xDC00);
                FPos += 2;
            } else if (unit >= 0xD800 && unit <= 0xDFFF) {
                unit = Platform::Text::ReplacementCharacter;
            }
            Platform::Text::AppendUtf8(out, unit);
        }
        return out;
    }

    std::size_t Left() const { return FData.size() - FPos; }

private:
    char32_t Unit(std::size_t At) const {
        return static_cast<unsigned char>(FData[At]) | (static_cast<unsigned char>(FData[At + 1]) << 8);
    }

    std::string_view FData;
    std::size_t FPos = 0;
};

void PutCount(std::string& Out, std::uint32_t Value) {
    for (int i = 0; i < 4; ++i)
        Out.push_back(static_cast<char>((Value >> (8 * i)) & 0xFF));
}

void PutString(std::string& Out, std::string_view Utf8) {
    std::u16string units;
    for (std::size_t i = 0; i < Utf8.size();) {
        char32_t c = Platform::Text::NextCodePoint(Utf8, i);
        if (c >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(c));
        }
    }
    PutCount(Out, static_cast<std::uint32_t>(units.size()));
    for (char16_t u : units) {
        Out.push_back(static_cast<char>(u & 0xFF));
        Out.push_back(static_cast<char>(u >> 8));
    }
}

} // namespace

std::string TStyleFile::Property(const std::string& Key, const std::string& Default) const {
    auto it = Properties.find(Key);
    return it == Properties.end() ? Default : it->second;
}

TStyleFile ReadStyleFile(std::string_view Bytes) {
    if (Bytes.substr(0, StyleFileSignature.size()) != StyleFileSignature)
        throw EStyleFileError("Not a style file: the signature \"VCL_STYLE 2.0\" is missing");
    const std::string data = Inflate(Bytes.substr(StyleFileSignature.size()));
    if (data.size() % 2 != 0)
        throw EStyleFileError("The style data has an odd number of bytes (" + std::to_string(data.size()) +
                              ")");
    TReader reader(data);
    TStyleFile style;
    style.Name = reader.String("the name");
    style.Version = reader.String("the version");
    style.Author = reader.String("the author");
    style.AuthorEMail = reader.String("the author's e-mail");
    style.AuthorUrl = reader.String("the author's address");
    if (style.Name.empty())
        throw EStyleFileError("The style has no name");
    std::uint32_t count = reader.Count("the property count");
    // Each property takes at least two empty strings of four bytes each.
    if (count > reader.Left() / 8)
        throw EStyleFileError("The property count (" + std::to_string(count) +
                              ") runs past the end of the style data");
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string key = reader.String("a property name");
        style.Properties[key] = reader.String("a property value");
    }
    if (reader.Left() != 0)
        throw EStyleFileError(std::to_string(reader.Left()) + " bytes follow the end of the style data");
    return style;
}

std::string WriteStyleFile(const TStyleFile& Style) {
    std::string data;
    for (const std::string* s :
         {&Style.Name, &Style.Version, &Style.Author, &Style.AuthorEMail, &Style.AuthorUrl})
        PutString(data, *s);
    PutCount(data, static_cast<std::uint32_t>(Style.Properties.size()));
    for (const auto& [key, value] : Style.Properties) {
        PutString(data, key);
        PutString(data, value);
    }
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(StyleFileSignature);
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw EStyleFileError("The style data cannot be packed");
    out.append(packed, 0, size);
    return out;
}

} // namespace Norvane::Shared
