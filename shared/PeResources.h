// The resources of a Portable Executable file, read from its resource
// section into a flat list and written back as a rebuilt section. Portable
// code: the file is parsed and rebuilt byte by byte, with every offset, size
// and count checked against the file, so a damaged executable is refused
// with a message and the file on disk is replaced only by a complete copy.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace Norvane::Shared {

class EPeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace ResourceType {
constexpr std::uint16_t Icon = 3;
constexpr std::uint16_t GroupIcon = 14;
constexpr std::uint16_t Version = 16;
} // namespace ResourceType

// A resource type or name: a number, or a string (compared without case
// for the letters A to Z, as the system's resource look-up does).
struct TResourceName {
    std::uint16_t Id = 0;
    std::u16string Text; // empty: a number

    static TResourceName Number(std::uint16_t Id) { return {Id, {}}; }
    static TResourceName String(const std::string& Ascii);
    bool IsString() const { return !Text.empty(); }
    bool Matches(const TResourceName& Other) const;
    std::string Display() const;
};

struct TResource {
    TResourceName Type;
    TResourceName Name;
    std::uint16_t Language = 0;
    std::uint32_t CodePage = 0;
    std::vector<std::uint8_t> Data;
};

class TPeResources {
public:
    static constexpr std::uint64_t MaxFileSize = 1024ull * 1024 * 1024;

    // Reads the executable and its resource tree; raises EPeError.
    static TPeResources Load(const std::string& Path);

    // Resources in the order of the section's tree.
    const std::vector<TResource>& Resources() const { return FResources; }
    // The languages a resource is listed in, in the order of the tree.
    std::vector<std::uint16_t> Languages(const TResourceName& Type, const TResourceName& Name) const;
    const TResource* Find(const TResourceName& Type, const TResourceName& Name, std::uint16_t Language) const;
    // Removes one resource; false when there is none.
    bool Remove(const TResourceName& Type, const TResourceName& Name, std::uint16_t Language);
    // Replaces the resource of that type, name and language, or adds it.
    void Put(const TResourceName& Type, const TResourceName& Name, std::uint16_t Language,
             std::vector<std::uint8_t> Data);

    // Writes the executable with a rebuilt resource section to Path through a
    // temporary file beside it. The section is rewritten where it is when the
    // new one fits, grown when it is the last section, and otherwise placed
    // in a new last section; the file still ends exactly at its image end.
    // Raises EPeError when the file carries data after its image (a payload,
    // a signature or a symbol table) or has no room for a new section header.
    void Save(const std::string& Path) const;

    // The resource section as it would be written at the given address.
    std::vector<std::uint8_t> BuildSection(std::uint32_t BaseRva) const;

private:
    std::string FPath;
    std::vector<std::uint8_t> FBytes;
    std::uint64_t FNtOffset = 0;
    std::uint64_t FOptionalOffset = 0;
    bool FPe32Plus = false;
    std::uint64_t FSectionTable = 0;
    std::uint16_t FSectionCount = 0;
    std::uint64_t FImageEnd = 0;
    std::uint32_t FTimeDateStamp = 0;
    std::vector<TResource> FResources;
};

// Version information blocks: reads the block, changes string values for
// every translation the block lists, and writes the block again.
class TVersionBlock {
public:
    static constexpr std::size_t MaxDepth = 8;

    // Raises EPeError for a block that does not parse.
    static TVersionBlock Parse(const std::vector<std::uint8_t>& Data);

    // The pairs of language and code page of \VarFileInfo\Translation.
    std::vector<std::pair<std::uint16_t, std::uint16_t>> Translations() const;
    // The text at \StringFileInfo\LLLLCCCC\Name; false when there is none.
    bool GetString(const std::string& Table, const std::string& Name, std::string& Value) const;
    // Sets an existing value (the text is UTF-8, written literally). A text
    // that fits the value's room (its characters less the terminating null)
    // is written in place with the rest cleared; a longer one grows the value
    // and the block is laid out again. False when there is no such value.
    bool SetString(const std::string& Table, const std::string& Name, const std::string& Value);
    // Raises EPeError when the block would exceed 65,535 bytes.
    std::vector<std::uint8_t> Build() const;

    struct TNode {
        std::u16string Key;
        std::uint16_t Type = 0;
        std::uint16_t ValueLength = 0;
        std::vector<std::uint8_t> Value;
        std::vector<TNode> Children;
    };

private:
    TNode* FindString(const std::string& Table, const std::string& Name);
    TNode FRoot;
};

std::u16string Utf8ToUtf16(const std::string& Text);
std::string Utf16ToUtf8(const std::u16string& Text);

} // namespace Norvane::Shared
