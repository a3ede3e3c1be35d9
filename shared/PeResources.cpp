#include "shared/PeResources.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "shared/Streams.h"

namespace fs = std::filesystem;

namespace Norvane::Shared {
namespace {

constexpr std::uint32_t ResourceDirectoryIndex = 2;
constexpr std::uint32_t HighBit = 0x80000000u;
constexpr std::size_t MaxResources = 65536;
constexpr std::size_t MaxVisitedEntries = 1 << 20;

std::uint16_t Get16(const std::vector<std::uint8_t>& B, std::uint64_t At) {
    return static_cast<std::uint16_t>(B[At] | (B[At + 1] << 8));
}

std::uint32_t Get32(const std::vector<std::uint8_t>& B, std::uint64_t At) {
    return static_cast<std::uint32_t>(Get16(B, At)) | (static_cast<std::uint32_t>(Get16(B, At + 2)) << 16);
}

void Set16(std::vector<std::uint8_t>& B, std::uint64_t At, std::uint32_t V) {
    B[At] = static_cast<std::uint8_t>(V);
    B[At + 1] = static_cast<std::uint8_t>(V >> 8);
}

void Set32(std::vector<std::uint8_t>& B, std::uint64_t At, std::uint32_t V) {
    Set16(B, At, V & 0xFFFF);
    Set16(B, At + 2, V >> 16);
}

void Put16(std::vector<std::uint8_t>& B, std::uint32_t V) {
    B.push_back(static_cast<std::uint8_t>(V));
    B.push_back(static_cast<std::uint8_t>(V >> 8));
}

void PadTo(std::vector<std::uint8_t>& B, std::size_t Alignment) {
    while (B.size() % Alignment != 0)
        B.push_back(0);
}

std::uint64_t AlignUp(std::uint64_t Value, std::uint64_t Alignment) {
    return Alignment == 0 ? Value : (Value + Alignment - 1) / Alignment * Alignment;
}

char16_t Upper(char16_t C) {
    return C >= u'a' && C <= u'z' ? static_cast<char16_t>(C - 32) : C;
}

bool EqualNoCase(const std::u16string& A, const std::u16string& B) {
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(),
                                              [](char16_t x, char16_t y) { return Upper(x) == Upper(y); });
}

// Ordering of a directory: named entries first, by their text, then numbers.
bool NameLess(const TResourceName& A, const TResourceName& B) {
    if (A.IsString() != B.IsString())
        return A.IsString();
    if (A.IsString())
        return A.Text < B.Text;
    return A.Id < B.Id;
}

struct TSection {
    std::uint32_t VirtualSize, VirtualAddress, RawSize, RawPointer;
};

} // namespace

// --- Names and text -------------------------------------------------------

std::u16string Utf8ToUtf16(const std::string& Text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < Text.size()) {
        char32_t cp = Platform::Text::NextCodePoint(Text, i);
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& Text) {
    std::string out;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        char32_t cp = Text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 &&
            Text[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (Text[++i] - 0xDC00);
        else if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = Platform::Text::ReplacementCharacter;
        Platform::Text::AppendUtf8(out, cp);
    }
    return out;
}

TResourceName TResourceName::String(const std::string& Ascii) {
    TResourceName name;
    name.Text = Utf8ToUtf16(Ascii);
    return name;
}

bool TResourceName::Matches(const TResourceName& Other) const {
    if (IsString() != Other.IsString())
        return false;
    return IsString() ? EqualNoCase(Text, Other.Text) : Id == Other.Id;
}

std::string TResourceName::Display() const {
    return IsString() ? std::string("\"").append(Utf16ToUtf8(Text)).append("\"") : std::to_string(Id);
}

// --- Reading --------------------------------------------------------------

TPeResources TPeResources::Load(const std::string& Path) {
    TPeResources pe;
    pe.FPath = Path;
    auto refuse = [&](const std::string& What) -> void {
        throw EPeError("\"" + Path + "\" is not a usable Portable Executable file: " + What);
    };
    std::error_code ec;
    if (!fs::is_regular_file(Platform::PathFromUtf8(Path), ec))
        throw EPeError("\"" + Path + "\" does not exist or is not a file");
    auto size = fs::file_size(Platform::PathFromUtf8(Path), ec);
    if (ec || size > MaxFileSize)
        refuse("it is larger than 1 GiB or cannot be measured");
    try {
        pe.FBytes = ReadFileBytes(Path);
    } catch (const std::exception& e) {
        throw EPeError("Cannot read \"" + Path + "\": " + e.what());
    }
    const auto& b = pe.FBytes;
    auto fits = [&](std::uint64_t At, std::uint64_t Count) {
        return At <= b.size() && Count <= b.size() - At;
    };
    if (!fits(0, 64) || b[0] != 'M' || b[1] != 'Z')
        refuse("no DOS header");
    pe.FNtOffset = Get32(b, 0x3C);
    if (!fits(pe.FNtOffset, 24) || Get32(b, pe.FNtOffset) != 0x00004550)
        refuse("no PE signature");
    pe.FSectionCount = Get16(b, pe.FNtOffset + 6);
    pe.FTimeDateStamp = Get32(b, pe.FNtOffset + 8);
    std::uint16_t optionalSize = Get16(b, pe.FNtOffset + 20);
    pe.FOptionalOffset = pe.FNtOffset + 24;
    if (!fits(pe.FOptionalOffset, optionalSize) || optionalSize < 2)
        refuse("the optional header is truncated");
    std::uint16_t magic = Get16(b, pe.FOptionalOffset);
    if (magic != 0x10B && magic != 0x20B)
        refuse("unknown optional header kind");
    pe.FPe32Plus = magic == 0x20B;
    std::uint64_t directories = pe.FPe32Plus ? 112 : 96;
    if (optionalSize < directories)
        refuse("the optional header is too short");
    std::uint32_t directoryCount = Get32(b, pe.FOptionalOffset + directories - 4);
    if (directoryCount > 16 || optionalSize < directories + 8ull * directoryCount)
        refuse("its data directory count does not match the optional header");
    pe.FSectionTable = pe.FOptionalOffset + optionalSize;
    if (!fits(pe.FSectionTable, 40ull * pe.FSectionCount))
        refuse("the section table is truncated");

    std::vector<TSection> sections;
    pe.FImageEnd = pe.FSectionTable + 40ull * pe.FSectionCount;
    for (std::uint16_t i = 0; i < pe.FSectionCount; ++i) {
        std::uint64_t at = pe.FSectionTable + 40ull * i;
        TSection s{Get32(b, at + 8), Get32(b, at + 12), Get32(b, at + 16), Get32(b, at + 20)};
        pe.FImageEnd = std::max<std::uint64_t>(pe.FImageEnd, std::uint64_t(s.RawPointer) + s.RawSize);
        sections.push_back(s);
    }
    if (pe.FImageEnd > b.size())
        refuse("it is truncated (its sections end at byte " + std::to_string(pe.FImageEnd) + ")");
    if (directoryCount <= ResourceDirectoryIndex)
        return pe;
    std::uint64_t dirAt = pe.FOptionalOffset + directories + 8ull * ResourceDirectoryIndex;
    std::uint32_t rsrcRva = Get32(b, dirAt);
    if (rsrcRva == 0 || Get32(b, dirAt + 4) == 0)
        return pe;

    // Maps an address to the file: Offset and the bytes of the section from there.
    auto locate = [&](std::uint32_t Rva, std::uint64_t& Offset, std::uint64_t& Available) {
        for (const auto& s : sections) {
            if (Rva >= s.VirtualAddress && Rva - s.VirtualAddress < s.RawSize) {
                Offset = std::uint64_t(s.RawPointer) + (Rva - s.VirtualAddress);
                Available = s.RawSize - (Rva - s.VirtualAddress);
                return true;
            }
        }
        return false;
    };
    std::uint64_t base = 0, limit = 0;
    if (!locate(rsrcRva, base, limit))
        refuse("its resource directory lies outside every section");
    auto damaged = [&](const std::string& What) { refuse("its resource tree is damaged (" + What + ")"); };
    auto readName = [&](std::uint32_t Field) {
        TResourceName name;
        if (!(Field & HighBit)) {
            if (Field > 0xFFFF)
                damaged("a resource number above 65535");
            name.Id = static_cast<std::uint16_t>(Field);
            return name;
        }
        std::uint64_t at = Field & ~HighBit;
        if (at + 2 > limit)
            damaged("a name outside the section");
        std::uint16_t length = Get16(b, base + at);
        if (length == 0 || at + 2 + 2ull * length > limit)
            damaged("an empty name or one running past the section");
        for (std::uint16_t k = 0; k < length; ++k)
            name.Text.push_back(static_cast<char16_t>(Get16(b, base + at + 2 + 2ull * k)));
        return name;
    };
    std::size_t visited = 0;
    TResourceName path[2];
    // Three levels: type, name, language; the last points at data entries.
    auto walk = [&](auto& self, std::uint64_t At, int Level) -> void {
        if (At + 16 > limit)
            damaged("a directory outside the section");
        std::uint64_t count = std::uint64_t(Get16(b, base + At + 12)) + Get16(b, base + At + 14);
        if (At + 16 + 8 * count > limit)
            damaged("a directory's entries run past the section");
        for (std::uint64_t i = 0; i < count; ++i) {
            if (++visited > MaxVisitedEntries)
                damaged("too many entries");
            std::uint64_t entry = base + At + 16 + 8 * i;
            std::uint32_t nameField = Get32(b, entry);
            std::uint32_t target = Get32(b, entry + 4);
            bool directory = (target & HighBit) != 0;
            if (Level < 2) {
                if (!directory)
                    damaged("data where a directory belongs");
                path[Level] = readName(nameField);
                self(self, target & ~HighBit, Level + 1);
                continue;
            }
            if (directory)
                damaged("a directory below the language level");
            if (nameField > 0xFFFF)
                damaged("a language that is not a number");
            if (std::uint64_t(target) + 16 > limit)
                damaged("a data entry outside the section");
            std::uint32_t dataRva = Get32(b, base + target);
            std::uint32_t dataSize = Get32(b, base + target + 4);
            std::uint64_t dataAt = 0, available = 0;
            if (dataSize > 0 && (!locate(dataRva, dataAt, available) || dataSize > available))
                damaged("the data of resource " + path[0].Display() + "/" + path[1].Display() +
                        " lies outside the file's sections");
            if (pe.FResources.size() >= MaxResources)
                damaged("more than " + std::to_string(MaxResources) + " resources");
            TResource resource;
            resource.Type = path[0];
            resource.Name = path[1];
            resource.Language = static_cast<std::uint16_t>(nameField);
            resource.CodePage = Get32(b, base + target + 8);
            resource.Data.assign(b.begin() + static_cast<std::ptrdiff_t>(dataAt),
                                 b.begin() + static_cast<std::ptrdiff_t>(dataAt + dataSize));
            pe.FResources.push_back(std::move(resource));
        }
    };
    walk(walk, 0, 0);
    return pe;
}

std::vector<std::uint16_t> TPeResources::Languages(const TResourceName& Type,
                                                   const TResourceName& Name) const {
    std::vector<std::uint16_t> languages;
    for (const auto& r : FResources)
        if (r.Type.Matches(Type) && r.Name.Matches(Name))
            languages.push_back(r.Language);
    return languages;
}

const TResource* TPeResources::Find(const TResourceName& Type, const TResourceName& Name,
                                    std::uint16_t Language) const {
    for (const auto& r : FResources)
        if (r.Type.Matches(Type) && r.Name.Matches(Name) && r.Language == Language)
            return &r;
    return nullptr;
}

bool TPeResources::Remove(const TResourceName& Type, const TResourceName& Name, std::uint16_t Language) {
    auto it = std::find_if(FResources.begin(), FResources.end(), [&](const TResource& r) {
        return r.Type.Matches(Type) && r.Name.Matches(Name) && r.Language == Language;
    });
    if (it == FResources.end())
        return false;
    FResources.erase(it);
    return true;
}

void TPeResources::Put(const TResourceName& Type, const TResourceName& Name, std::uint16_t Language,
                       std::vector<std::uint8_t> Data) {
    for (auto& r : FResources) {
        if (r.Type.Matches(Type) && r.Name.Matches(Name) && r.Language == Language) {
            r.Data = std::move(Data);
            return;
        }
    }
    TResource resource{Type, Name, Language, 0, std::move(Data)};
    if (resource.Type.IsString())
        for (auto& c : resource.Type.Text)
            c = Upper(c);
    if (resource.Name.IsString())
        for (auto& c : resource.Name.Text)
            c = Upper(c);
    FResources.push_back(std::move(resource));
}

// --- Writing --------------------------------------------------------------

std::vector<std::uint8_t> TPeResources::BuildSection(std::uint32_t BaseRva) const {
    // Sorted tree: type -> name -> language -> resource.
    auto less = [](const TResourceName& a, const TResourceName& b) { return NameLess(a, b); };
    std::map<TResourceName,
             std::map<TResourceName, std::map<std::uint16_t, const TResource*>, decltype(less)>,
             decltype(less)>
        tree(less);
    for (const auto& r : FResources)
        tree.try_emplace(r.Type, less).first->second[r.Name][r.Language] = &r;

    // Sizes of the four areas: directories, data entries, names, data.
    std::size_t directoriesSize = 16 + 8 * tree.size();
    std::size_t leaves = 0, namesSize = 0;
    auto nameBytes = [](const TResourceName& n) { return n.IsString() ? 2 + 2 * n.Text.size() : 0; };
    for (const auto& [type, names] : tree) {
        namesSize += nameBytes(type);
        directoriesSize += 16 + 8 * names.size();
        for (const auto& [name, languages] : names) {
            namesSize += nameBytes(name);
            directoriesSize += 16 + 8 * languages.size();
            leaves += languages.size();
        }
    }
    std::size_t entriesAt = directoriesSize;
    std::size_t namesAt = entriesAt + 16 * leaves;
    std::size_t dataAt = AlignUp(namesAt + namesSize, 8);

    std::vector<std::uint8_t> out(dataAt, 0);
    std::size_t nextDirectory = 0, nextEntry = entriesAt, nextName = namesAt;
    auto directory = [&](std::size_t named, std::size_t ids) {
        std::size_t at = nextDirectory;
        Set32(out, at + 4, FTimeDateStamp);
        Set16(out, at + 12, static_cast<std::uint32_t>(named));
        Set16(out, at + 14, static_cast<std::uint32_t>(ids));
        nextDirectory += 16 + 8 * (named + ids);
        return at;
    };
    auto nameField = [&](const TResourceName& n) -> std::uint32_t {
        if (!n.IsString())
            return n.Id;
        std::size_t at = nextName;
        Set16(out, at, static_cast<std::uint32_t>(n.Text.size()));
        for (std::size_t k = 0; k < n.Text.size(); ++k)
            Set16(out, at + 2 + 2 * k, n.Text[k]);
        nextName += 2 + 2 * n.Text.size();
        return static_cast<std::uint32_t>(at) | HighBit;
    };
    auto counts = [](const auto& Map) {
        std::size_t named = 0;
        for (const auto& item : Map)
            named += item.first.IsString() ? 1 : 0;
        return std::pair{named, Map.size() - named};
    };
    // Directories are laid out breadth first: the root, all type directories,
    // then all name directories.
    auto [rootNamed, rootIds] = counts(tree);
    std::size_t root = directory(rootNamed, rootIds);
    std::vector<std::size_t> typeDirs, nameDirs;
    std::size_t i = 0;
    for (const auto& [type, names] : tree) {
        auto [named, ids] = counts(names);
        std::size_t at = directory(named, ids);
        typeDirs.push_back(at);
        Set32(out, root + 16 + 8 * i, nameField(type));
        Set32(out, root + 20 + 8 * i, static_cast<std::uint32_t>(at) | HighBit);
        ++i;
    }
    i = 0;
    for (const auto& [type, names] : tree) {
        std::size_t k = 0;
        for (const auto& [name, languages] : names) {
            std::size_t at = directory(0, languages.size());
            nameDirs.push_back(at);
            Set32(out, typeDirs[i] + 16 + 8 * k, nameField(name));
            Set32(out, typeDirs[i] + 20 + 8 * k, static_cast<std::uint32_t>(at) | HighBit);
            ++k;
        }
        ++i;
    }
    std::size_t dirIndex = 0;
    for (const auto& [type, names] : tree) {
        for (const auto& [name, languages] : names) {
            std::size_t k = 0;
            for (const auto& [language, resource] : languages) {
                std::size_t entry = nextEntry;
                nextEntry += 16;
                Set32(out, nameDirs[dirIndex] + 16 + 8 * k, language);
                Set32(out, nameDirs[dirIndex] + 20 + 8 * k, static_cast<std::uint32_t>(entry));
                PadTo(out, 8);
                Set32(out, entry, BaseRva + static_cast<std::uint32_t>(out.size()));
                Set32(out, entry + 4, static_cast<std::uint32_t>(resource->Data.size()));
                Set32(out, entry + 8, resource->CodePage);
                out.insert(out.end(), resource->Data.begin(), resource->Data.end());
                ++k;
            }
            ++dirIndex;
        }
    }
    return out;
}

namespace {

// The optional header's checksum: 16-bit one's-complement style sum of the
// file with the checksum field taken as zero, plus the file's length.
std::uint32_t PeChecksum(const std::vector<std::uint8_t>& B, std::uint64_t ChecksumAt) {
    std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < B.size(); i += 2) {
        if (i == ChecksumAt || i == ChecksumAt + 2)
            continue;
        std::uint32_t word = B[i] | (i + 1 < B.size() ? B[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + B.size());
}

} // namespace

void TPeResources::Save(const std::string& Path) const {
    auto refuse = [&](const std::string& What) { throw EPeError("Cannot edit \"" + FPath + "\": " + What); };
    if (FBytes.size() != FImageEnd)
        refuse("it carries " + std::to_string(FBytes.size() - FImageEnd) +
               " bytes after its image (a payload, a signature or a symbol table); use a clean executable");
    std::vector<std::uint8_t> b = FBytes;
    std::uint64_t opt = FOptionalOffset;
    std::uint32_t sectionAlignment = Get32(b, opt + 32);
    std::uint32_t fileAlignment = Get32(b, opt + 36);
    if (fileAlignment == 0 || sectionAlignment == 0 || (fileAlignment & (fileAlignment - 1)) != 0)
        refuse("its section or file alignment is not a power of two");
    std::uint64_t directories = FPe32Plus ? 112 : 96;
    if (Get32(b, opt + directories - 4) <= ResourceDirectoryIndex)
        refuse("it has no entry for resources in its data directory");
    std::uint64_t dirAt = opt + directories + 8ull * ResourceDirectoryIndex;
    std::uint32_t rsrcRva = Get32(b, dirAt);
    bool hasResources = rsrcRva != 0 && Get32(b, dirAt + 4) != 0;

    std::size_t newSize = BuildSection(0).size();
    auto sectionAt = [&](std::uint16_t i) { return FSectionTable + 40ull * i; };
    int current = -1;
    std::uint64_t virtualEnd = 0, lastRaw = 0;
    for (std::uint16_t i = 0; i < FSectionCount; ++i) {
        std::uint64_t at = sectionAt(i);
        std::uint32_t va = Get32(b, at + 12), vs = Get32(b, at + 8), raw = Get32(b, at + 16);
        virtualEnd = std::max<std::uint64_t>(virtualEnd, va + AlignUp(std::max(vs, raw), sectionAlignment));
        if (raw != 0)
            lastRaw = std::max<std::uint64_t>(lastRaw, Get32(b, at + 20));
        if (hasResources && va == rsrcRva)
            current = i;
    }

    if (current >= 0) {
        std::uint64_t at = sectionAt(static_cast<std::uint16_t>(current));
        if (Get32(b, at + 16) != 0 && Get32(b, at + 20) < FSectionTable + 40ull * FSectionCount)
            refuse("its resource section overlaps the headers");
    }
    std::uint32_t placeRva = 0;
    if (current >= 0) {
        std::uint64_t at = sectionAt(static_cast<std::uint16_t>(current));
        std::uint32_t va = Get32(b, at + 12), vs = Get32(b, at + 8);
        std::uint32_t raw = Get32(b, at + 16), pointer = Get32(b, at + 20);
        std::uint64_t virtualRoom = AlignUp(std::max(vs, raw), sectionAlignment);
        bool lastInFile = raw != 0 && pointer == lastRaw && std::uint64_t(pointer) + raw == FImageEnd;
        bool lastInMemory = va + virtualRoom == virtualEnd;
        if (newSize <= std::min<std::uint64_t>(raw, virtualRoom)) {
            // 1. In place: the rest of the old section is cleared.
            auto section = BuildSection(va);
            std::fill(b.begin() + pointer, b.begin() + pointer + raw, 0);
            std::copy(section.begin(), section.end(), b.begin() + pointer);
            Set32(b, at + 8, static_cast<std::uint32_t>(std::max<std::size_t>(newSize, 1)));
            placeRva = va;
        } else if (lastInFile && lastInMemory) {
            // 2. The last section grows (or shrinks) to the new size.
            auto section = BuildSection(va);
            std::uint64_t rawSize = AlignUp(section.size(), fileAlignment);
            b.resize(pointer);
            b.insert(b.end(), section.begin(), section.end());
            b.resize(pointer + rawSize, 0);
            Set32(b, at + 8, static_cast<std::uint32_t>(section.size()));
            Set32(b, at + 16, static_cast<std::uint32_t>(rawSize));
            Set32(b, opt + 56, static_cast<std::uint32_t>(AlignUp(va + section.size(), sectionAlignment)));
            placeRva = va;
        }
    }
    if (placeRva == 0) {
        // 3. A new last section; the old one, if any, is cleared and renamed.
        std::uint64_t header = sectionAt(FSectionCount);
        std::uint64_t firstRaw = b.size();
        for (std::uint16_t i = 0; i < FSectionCount; ++i)
            if (Get32(b, sectionAt(i) + 16) != 0)
                firstRaw = std::min<std::uint64_t>(firstRaw, Get32(b, sectionAt(i) + 20));
        if (header + 40 > Get32(b, opt + 60) || header + 40 > firstRaw ||
            !std::all_of(b.begin() + header, b.begin() + header + 40, [](std::uint8_t c) { return c == 0; }))
            refuse("the resources do not fit their section and the headers have no room for a new one");
        if (FSectionCount == 0xFFFF)
            refuse("it has too many sections");
        if (current >= 0) {
            std::uint64_t at = sectionAt(static_cast<std::uint16_t>(current));
            std::uint32_t pointer = Get32(b, at + 20), raw = Get32(b, at + 16);
            std::fill(b.begin() + pointer, b.begin() + pointer + raw, 0);
            static const char OldName[8] = {'.', 'r', 's', 'r', 'c', 'o', 'l', 'd'};
            std::copy(OldName, OldName + 8, b.begin() + at);
        }
        std::uint64_t va = AlignUp(virtualEnd, sectionAlignment);
        if (va + newSize > 0xFFFFFFFFull)
            refuse("the image would grow beyond 4 GiB");
        std::uint64_t pointer = AlignUp(b.size(), fileAlignment);
        auto section = BuildSection(static_cast<std::uint32_t>(va));
        std::uint64_t rawSize = AlignUp(section.size(), fileAlignment);
        b.resize(pointer, 0);
        b.insert(b.end(), section.begin(), section.end());
        b.resize(pointer + rawSize, 0);
        static const char Name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
        std::copy(Name, Name + 8, b.begin() + header);
        Set32(b, header + 8, static_cast<std::uint32_t>(section.size()));
        Set32(b, header + 12, static_cast<std::uint32_t>(va));
        Set32(b, header + 16, static_cast<std::uint32_t>(rawSize));
        Set32(b, header + 20, static_cast<std::uint32_t>(pointer));
        Set32(b, header + 36, 0x40000040u); // initialized data, readable
        Set16(b, FNtOffset + 6, FSectionCount + 1u);
        Set32(b, opt + 56, static_cast<std::uint32_t>(AlignUp(va + section.size(), sectionAlignment)));
        placeRva = static_cast<std::uint32_t>(va);
    }
    Set32(b, dirAt, placeRva);
    Set32(b, dirAt + 4, static_cast<std::uint32_t>(newSize));
    if (Get32(b, opt + 64) != 0)
        Set32(b, opt + 64, PeChecksum(b, opt + 64));

    // A complete copy beside the file, then one rename over it.
    const fs::path target = Platform::PathFromUtf8(Path);
    fs::path temporary = target;
    temporary += Platform::PathFromUtf8(".norvane-edit-" + std::to_string(Platform::CurrentProcessId()));
    try {
        TFileStream out(Platform::Utf8FromPath(temporary), TFileMode::fmCreate);
        out.Write(b.data(), static_cast<std::int64_t>(b.size()));
        out.Close();
    } catch (const std::exception& e) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw EPeError("Cannot write \"" + Platform::Utf8FromPath(temporary) + "\": " + e.what());
    }
    std::error_code ec;
    auto permissions = fs::status(target, ec).permissions();
    if (!ec)
        fs::permissions(temporary, permissions, ec);
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw EPeError("Cannot replace \"" + Path + "\": " + ec.message());
    }
}

// --- Version information ----------------------------------------------------

namespace {

using TNode = TVersionBlock::TNode;

TNode ParseNode(const std::vector<std::uint8_t>& B, std::size_t At, std::size_t End, std::size_t Depth) {
    auto damaged = [](const std::string& What) {
        throw EPeError("The version information block is damaged: " + What);
    };
    if (Depth > TVersionBlock::MaxDepth)
        damaged("it is nested too deeply");
    if (At + 6 > End)
        damaged("a header runs past its parent");
    std::size_t length = Get16(B, At);
    if (length < 6 || At + length > End)
        damaged("a length of " + std::to_string(length) + " bytes does not fit");
    std::size_t nodeEnd = At + length;
    TNode node;
    node.ValueLength = Get16(B, At + 2);
    node.Type = Get16(B, At + 4);
    std::size_t p = At + 6;
    for (;;) {
        if (p + 2 > nodeEnd)
            damaged("a key is not terminated");
        char16_t c = static_cast<char16_t>(Get16(B, p));
        p += 2;
        if (c == 0)
            break;
        node.Key.push_back(c);
    }
    p = At + AlignUp(p - At, 4);
    std::size_t valueBytes = node.Type == 1 ? 2ull * node.ValueLength : node.ValueLength;
    if (p < nodeEnd) {
        valueBytes = std::min(valueBytes, nodeEnd - p);
        node.Value.assign(B.begin() + static_cast<std::ptrdiff_t>(p),
                          B.begin() + static_cast<std::ptrdiff_t>(p + valueBytes));
        p = At + AlignUp(p + valueBytes - At, 4);
    }
    while (p + 6 <= nodeEnd) {
        if (Get16(B, p) == 0)
            break;
        node.Children.push_back(ParseNode(B, p, nodeEnd, Depth + 1));
        p = At + AlignUp(p + Get16(B, p) - At, 4);
    }
    return node;
}

void BuildNode(const TNode& Node, std::vector<std::uint8_t>& Out) {
    std::size_t start = Out.size();
    Put16(Out, 0);
    Put16(Out, Node.ValueLength);
    Put16(Out, Node.Type);
    for (char16_t c : Node.Key)
        Put16(Out, c);
    Put16(Out, 0);
    PadTo(Out, 4);
    Out.insert(Out.end(), Node.Value.begin(), Node.Value.end());
    for (const auto& child : Node.Children) {
        PadTo(Out, 4);
        BuildNode(child, Out);
    }
    std::size_t length = Out.size() - start;
    if (length > 0xFFFF)
        throw EPeError("The version information would exceed 65,535 bytes; shorten the version texts");
    Set16(Out, start, static_cast<std::uint32_t>(length));
}

const TNode* Child(const TNode& Node, const std::u16string& Key) {
    for (const auto& child : Node.Children)
        if (EqualNoCase(child.Key, Key))
            return &child;
    return nullptr;
}

} // namespace

TVersionBlock TVersionBlock::Parse(const std::vector<std::uint8_t>& Data) {
    if (Data.size() < 6)
        throw EPeError("The version information block is damaged: it is shorter than a header");
    TVersionBlock block;
    std::size_t length = Get16(Data, 0);
    block.FRoot = ParseNode(Data, 0, std::min(Data.size(), std::max<std::size_t>(length, 6)), 0);
    return block;
}

std::vector<std::pair<std::uint16_t, std::uint16_t>> TVersionBlock::Translations() const {
    std::vector<std::pair<std::uint16_t, std::uint16_t>> result;
    const TNode* vars = Child(FRoot, u"VarFileInfo");
    const TNode* translation = vars ? Child(*vars, u"Translation") : nullptr;
    if (!translation)
        return result;
    for (std::size_t i = 0; i + 4 <= translation->Value.size(); i += 4)
        result.emplace_back(Get16(translation->Value, i), Get16(translation->Value, i + 2));
    return result;
}

TNode* TVersionBlock::FindString(const std::string& Table, const std::string& Name) {
    const TNode* files = Child(FRoot, u"StringFileInfo");
    const TNode* table = files ? Child(*files, Utf8ToUtf16(Table)) : nullptr;
    const TNode* value = table ? Child(*table, Utf8ToUtf16(Name)) : nullptr;
    return const_cast<TNode*>(value);
}

bool TVersionBlock::GetString(const std::string& Table, const std::string& Name, std::string& Value) const {
    const TNode* node = const_cast<TVersionBlock*>(this)->FindString(Table, Name);
    if (!node)
        return false;
    std::u16string text;
    for (std::size_t i = 0; i + 2 <= node->Value.size(); i += 2) {
        char16_t c = static_cast<char16_t>(Get16(node->Value, i));
        if (c == 0)
            break;
        text.push_back(c);
    }
    Value = Utf16ToUtf8(text);
    return true;
}

bool TVersionBlock::SetString(const std::string& Table, const std::string& Name, const std::string& Value) {
    TNode* node = FindString(Table, Name);
    if (!node)
        return false;
    std::u16string text = Utf8ToUtf16(Value);
    std::size_t room = node->Value.size() / 2;
    std::size_t units = std::max(room, text.size() + 1);
    node->Value.assign(2 * units, 0);
    for (std::size_t i = 0; i < text.size(); ++i)
        Set16(node->Value, 2 * i, text[i]);
    if (units > 0xFFFF)
        throw EPeError("The version text for " + Name + " is too long");
    node->ValueLength = static_cast<std::uint16_t>(node->Type == 1 ? units : 2 * units);
    return true;
}

std::vector<std::uint8_t> TVersionBlock::Build() const {
    std::vector<std::uint8_t> out;
    BuildNode(FRoot, out);
    return out;
}

} // namespace Norvane::Shared
