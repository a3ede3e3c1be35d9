#include "shared/ExeUtils.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <vector>

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Ui.h"
#include "shared/IconFile.h"
#include "shared/PeResources.h"

namespace Norvane::Shared {
namespace {

// Reads fixed-size header fields out of an executable file. Every read names
// the file in its error, and a read beyond the file's end is reported as a
// damaged header rather than returning short data.
class THeaderReader {
public:
    explicit THeaderReader(const std::string& Path) : FPath(Path), FFile(OpenFile(Path)) {
        FSize = static_cast<std::uint64_t>(FFile.Size());
    }

    std::uint64_t FileSize() const { return FSize; }

    bool Fits(std::uint64_t Offset, std::uint64_t Count) const {
        return Offset <= FSize && Count <= FSize - Offset;
    }

    std::vector<std::uint8_t> Read(std::uint64_t Offset, std::uint64_t Count, const char* What) {
        if (!Fits(Offset, Count))
            throw EExeUtilsError("\"" + FPath + "\" is not a complete executable: its " + What +
                                 " lies beyond the end of the file");
        std::vector<std::uint8_t> data(static_cast<std::size_t>(Count));
        FFile.SetPosition(static_cast<std::int64_t>(Offset));
        std::int64_t done = 0;
        while (done < static_cast<std::int64_t>(Count)) {
            std::int64_t n = FFile.Read(data.data() + done, static_cast<std::int64_t>(Count) - done);
            if (n == 0)
                throw EExeUtilsError("Cannot read the " + std::string(What) + " of \"" + FPath + "\"");
            done += n;
        }
        return data;
    }

private:
    static TFileStream OpenFile(const std::string& Path) {
        try {
            return TFileStream(Path, TFileMode::fmOpenRead);
        } catch (const EFOpenError& e) {
            throw EExeUtilsError(e.what());
        }
    }

    std::string FPath;
    TFileStream FFile;
    std::uint64_t FSize = 0;
};

// Little- or big-endian field access into a header buffer.
struct TFields {
    const std::vector<std::uint8_t>& Data;
    bool BigEndian;

    std::uint64_t Get(std::size_t Offset, std::size_t Width) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < Width; ++i) {
            std::size_t index = BigEndian ? Offset + i : Offset + Width - 1 - i;
            value = (value << 8) | Data[index];
        }
        return value;
    }
    std::uint16_t U16(std::size_t Offset) const { return static_cast<std::uint16_t>(Get(Offset, 2)); }
    std::uint32_t U32(std::size_t Offset) const { return static_cast<std::uint32_t>(Get(Offset, 4)); }
    std::uint64_t U64(std::size_t Offset) const { return Get(Offset, 8); }
};

constexpr std::uint64_t NoEnd = std::numeric_limits<std::uint64_t>::max();

// Offset + Size without wrapping; a sum that does not fit is beyond any file.
std::uint64_t EndOf(std::uint64_t Offset, std::uint64_t Size) {
    return Size > NoEnd - Offset ? NoEnd : Offset + Size;
}

std::uint64_t TableEnd(std::uint64_t Offset, std::uint64_t Count, std::uint64_t EntrySize) {
    if (EntrySize != 0 && Count > NoEnd / EntrySize)
        return NoEnd;
    return EndOf(Offset, Count * EntrySize);
}

std::int64_t ToImageEnd(std::uint64_t End) {
    return End > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? std::numeric_limits<std::int64_t>::max()
               : static_cast<std::int64_t>(End);
}

// ELF: the end of the ELF header, of the program header table, of every
// segment's file data, of every section that occupies file space and of the
// section header table. A table that does not fit in the file makes the image
// end lie beyond it, which the callers report as a truncated file.
std::int64_t ElfImageEnd(THeaderReader& File, const std::string& Path) {
    constexpr std::uint32_t ShtNobits = 8;
    auto ident = File.Read(0, 16, "ELF header");
    bool is64 = ident[4] == 2;
    if ((ident[4] != 1 && ident[4] != 2) || (ident[5] != 1 && ident[5] != 2))
        throw EExeUtilsError("\"" + Path + "\" has an ELF header of an unknown class or byte order");
    bool bigEndian = ident[5] == 2;

    std::uint64_t headerSize = is64 ? 64 : 52;
    auto header = File.Read(0, headerSize, "ELF header");
    TFields h{header, bigEndian};
    std::uint64_t phoff = is64 ? h.U64(32) : h.U32(28);
    std::uint64_t shoff = is64 ? h.U64(40) : h.U32(32);
    std::size_t at = is64 ? 54 : 42;
    std::uint64_t phentsize = h.U16(at);
    std::uint64_t phnum = h.U16(at + 2);
    std::uint64_t shentsize = h.U16(at + 4);
    std::uint64_t shnum = h.U16(at + 6);
    std::uint64_t minPh = is64 ? 56 : 32;
    std::uint64_t minSh = is64 ? 64 : 40;

    std::uint64_t end = headerSize;

    // Extended numbering: more than 0xFFFF program headers or sections keep
    // their real counts in the first section header.
    if ((phnum == 0xFFFF || shnum == 0) && shoff != 0) {
        if (shentsize < minSh)
            throw EExeUtilsError("\"" + Path + "\" has a damaged ELF header (section header size)");
        if (!File.Fits(shoff, shentsize))
            return ToImageEnd(EndOf(shoff, shentsize));
        auto first = File.Read(shoff, minSh, "first section header");
        TFields s{first, bigEndian};
        if (shnum == 0)
            shnum = is64 ? s.U64(32) : s.U32(20);
        if (phnum == 0xFFFF)
            phnum = is64 ? s.U32(44) : s.U32(28);
    }

    if (phnum > 0) {
        if (phentsize < minPh)
            throw EExeUtilsError("\"" + Path + "\" has a damaged ELF header (program header size)");
        std::uint64_t tableEnd = TableEnd(phoff, phnum, phentsize);
        end = std::max(end, tableEnd);
        if (!File.Fits(phoff, tableEnd - phoff))
            return ToImageEnd(end);
        auto table = File.Read(phoff, phnum * phentsize, "program header table");
        TFields t{table, bigEndian};
        for (std::uint64_t i = 0; i < phnum; ++i) {
            std::size_t base = static_cast<std::size_t>(i * phentsize);
            std::uint64_t offset = is64 ? t.U64(base + 8) : t.U32(base + 4);
            std::uint64_t filesz = is64 ? t.U64(base + 32) : t.U32(base + 16);
            if (filesz != 0)
                end = std::max(end, EndOf(offset, filesz));
        }
    }

    if (shnum > 0 && shoff != 0) {
        if (shentsize < minSh)
            throw EExeUtilsError("\"" + Path + "\" has a damaged ELF header (section header size)");
        std::uint64_t tableEnd = TableEnd(shoff, shnum, shentsize);
        end = std::max(end, tableEnd);
        if (!File.Fits(shoff, tableEnd - shoff))
            return ToImageEnd(end);
        auto table = File.Read(shoff, shnum * shentsize, "section header table");
        TFields t{table, bigEndian};
        for (std::uint64_t i = 0; i < shnum; ++i) {
            std::size_t base = static_cast<std::size_t>(i * shentsize);
            std::uint32_t type = t.U32(base + 4);
            std::uint64_t offset = is64 ? t.U64(base + 24) : t.U32(base + 16);
            std::uint64_t size = is64 ? t.U64(base + 32) : t.U32(base + 20);
            if (type != ShtNobits && size != 0)
                end = std::max(end, EndOf(offset, size));
        }
    }
    return ToImageEnd(end);
}

// Portable Executable: the largest PointerToRawData + SizeOfRawData over the
// section headers (unsigned 32-bit fields, added without wrapping), and at
// least the end of the section table itself.
std::int64_t PeImageEnd(THeaderReader& File, const std::string& Path) {
    auto dos = File.Read(0, 64, "DOS header");
    std::uint64_t ntOffset = TFields{dos, false}.U32(0x3C);
    auto nt = File.Read(ntOffset, 24, "PE header");
    if (nt[0] != 'P' || nt[1] != 'E' || nt[2] != 0 || nt[3] != 0)
        throw EExeUtilsError("\"" + Path + "\" has a DOS header but no PE signature");
    TFields f{nt, false};
    std::uint64_t sectionCount = f.U16(4 + 2);
    std::uint64_t optionalHeaderSize = f.U16(4 + 16);
    std::uint64_t tableOffset = ntOffset + 24 + optionalHeaderSize;
    std::uint64_t end = TableEnd(tableOffset, sectionCount, 40);
    if (!File.Fits(tableOffset, end - tableOffset))
        return ToImageEnd(end);
    auto table = File.Read(tableOffset, sectionCount * 40, "section table");
    TFields t{table, false};
    for (std::uint64_t i = 0; i < sectionCount; ++i) {
        std::size_t base = static_cast<std::size_t>(i * 40);
        std::uint64_t sizeOfRawData = t.U32(base + 16);
        std::uint64_t pointerToRawData = t.U32(base + 20);
        end = std::max(end, pointerToRawData + sizeOfRawData);
    }
    return ToImageEnd(end);
}

// Wraps the stream errors of the path-taking operations into EExeUtilsError.
template <typename Action> auto Reporting(Action&& action) {
    try {
        return action();
    } catch (const EFOpenError& e) {
        throw EExeUtilsError(e.what());
    } catch (const EStreamError& e) {
        throw EExeUtilsError(e.what());
    }
}

} // namespace

std::int64_t TExeUtils::GetFileSize(const std::string& Path) {
    std::error_code ec;
    auto status = std::filesystem::status(Platform::PathFromUtf8(Path), ec);
    if (ec || !std::filesystem::is_regular_file(status))
        return -1;
    auto size = std::filesystem::file_size(Platform::PathFromUtf8(Path), ec);
    if (ec)
        return -1;
    return static_cast<std::int64_t>(size);
}

std::int64_t TExeUtils::GetImageEndOfFile(const std::string& ExePath) {
    THeaderReader file(ExePath);
    if (file.FileSize() < 4)
        throw EExeUtilsError("\"" + ExePath + "\" is too short to be an executable");
    auto magic = file.Read(0, 4, "header");
    if (magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F')
        return ElfImageEnd(file, ExePath);
    if (magic[0] == 'M' && magic[1] == 'Z')
        return PeImageEnd(file, ExePath);
    throw EExeUtilsError("\"" + ExePath + "\" is neither an ELF nor a Portable Executable file");
}

std::int64_t TExeUtils::GetExeSize() {
    return GetFileSize(Platform::ExecutablePath());
}

std::int64_t TExeUtils::GetImageEnd() {
    return GetImageEndOfFile(Platform::ExecutablePath());
}

bool TExeUtils::ExeHasAttachedStub() {
    std::int64_t size = GetExeSize();
    if (size < 0)
        return false;
    return size - GetImageEnd() > 0;
}

void TExeUtils::CopyPayload(const std::string& ExePath, std::int64_t ImageEnd, std::int64_t Length,
                            TStream& Target) {
    TFileStream source(ExePath, TFileMode::fmOpenRead);
    source.SetPosition(ImageEnd);
    if (OnProgressMax)
        OnProgressMax(*this, Length);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(BlockSize));
    std::int64_t total = 0;
    while (total < Length) {
        std::int64_t n = source.Read(buffer.data(), std::min(BlockSize, Length - total));
        if (n == 0)
            break;
        Target.Write(buffer.data(), n);
        total += n;
        if (OnProgressPos)
            OnProgressPos(*this, total);
    }
}

namespace {

[[noreturn]] void NotAValidApplication() {
    Platform::ShowMessageBox("This is not a valid Windows application", "Error",
                             Platform::MessageBoxIcon::Error, Platform::MessageBoxButtons::Ok);
    Platform::ExitProcess(0);
}

} // namespace

void TExeUtils::GetZipFromExe(TMemoryStream& MemoryStream) {
    std::string exePath = Platform::ExecutablePath();
    std::int64_t imageEnd = GetImageEnd();
    std::int64_t length = GetExeSize() - imageEnd;
    if (length <= 0)
        NotAValidApplication();
    MemoryStream.SetPosition(0);
    CopyPayload(exePath, imageEnd, length, MemoryStream);
}

TMappedPayload::TMappedPayload(const std::string& ExePath, std::int64_t ImageEnd, std::int64_t Length)
    : FFile(ExePath), FOffset(static_cast<std::uint64_t>(ImageEnd)),
      FLength(static_cast<std::uint64_t>(Length)) {
    // The file as mapped must still be the image followed by the payload.
    if (ImageEnd < 0 || Length < 0 || FFile.Size() != FOffset + FLength)
        throw EExeUtilsError("The payload of \"" + ExePath + "\" changed while it was being read");
}

std::unique_ptr<TMappedPayload> TExeUtils::MapZipFromExe() {
    std::string exePath = Platform::ExecutablePath();
    std::int64_t imageEnd = GetImageEnd();
    std::int64_t length = GetExeSize() - imageEnd;
    if (length <= 0)
        NotAValidApplication();
    if (OnProgressMax)
        OnProgressMax(*this, length);
    auto payload = std::make_unique<TMappedPayload>(exePath, imageEnd, length);
    if (OnProgressPos)
        OnProgressPos(*this, length);
    return payload;
}

void TExeUtils::ExtractZipFromExe(const std::string& ZipPath) {
    std::string exePath = Platform::ExecutablePath();
    std::int64_t imageEnd = GetImageEnd();
    std::int64_t length = GetExeSize() - imageEnd;
    if (length <= 0)
        NotAValidApplication();
    TFileStream target(ZipPath, TFileMode::fmCreate);
    CopyPayload(exePath, imageEnd, length, target);
    target.Close();
}

void TExeUtils::AppendZipToExe(const std::string& ZipPath, const std::string& ExePath) {
    TFileStream zip(ZipPath, TFileMode::fmOpenRead);
    TFileStream exe(ExePath, TFileMode::fmOpenReadWrite);
    exe.SetPosition(GetFileSize(ExePath));
    std::int64_t zipSize = GetFileSize(ZipPath);
    if (OnProgressMax)
        OnProgressMax(*this, zipSize);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(BlockSize));
    std::int64_t total = 0;
    while (total < zipSize) {
        std::int64_t n = zip.Read(buffer.data(), BlockSize);
        if (n == 0)
            break;
        exe.Write(buffer.data(), n);
        total += n;
        if (OnProgressPos)
            OnProgressPos(*this, total);
    }
    exe.Close();
}

std::int64_t TExeUtils::PayloadSizeOfFile(const std::string& ExePath) {
    std::int64_t size = GetFileSize(ExePath);
    if (size < 0)
        throw EExeUtilsError("\"" + ExePath + "\" does not exist or is not a file");
    std::int64_t imageEnd = GetImageEndOfFile(ExePath);
    if (imageEnd > size)
        throw EExeUtilsError("\"" + ExePath + "\" is truncated: its image ends at byte " +
                             std::to_string(imageEnd) + " but the file has only " + std::to_string(size) +
                             " bytes");
    return size - imageEnd;
}

bool TExeUtils::FileHasAttachedStub(const std::string& ExePath) {
    return PayloadSizeOfFile(ExePath) > 0;
}

void TExeUtils::GetZipFromFile(const std::string& ExePath, TStream& Target) {
    std::int64_t length = PayloadSizeOfFile(ExePath);
    if (length == 0)
        throw EExeUtilsError("\"" + ExePath + "\" carries no payload");
    std::int64_t imageEnd = GetImageEndOfFile(ExePath);
    Reporting([&] {
        std::int64_t before = Target.Position();
        CopyPayload(ExePath, imageEnd, length, Target);
        if (Target.Position() - before != length)
            throw EExeUtilsError("The payload of \"" + ExePath + "\" changed while it was being read");
    });
}

std::unique_ptr<TMappedPayload> TExeUtils::MapZipFromFile(const std::string& ExePath) {
    std::int64_t length = PayloadSizeOfFile(ExePath);
    if (length == 0)
        throw EExeUtilsError("\"" + ExePath + "\" carries no payload");
    std::int64_t imageEnd = GetImageEndOfFile(ExePath);
    try {
        return std::make_unique<TMappedPayload>(ExePath, imageEnd, length);
    } catch (const Platform::EMapError& e) {
        throw EExeUtilsError(e.what());
    }
}

void TExeUtils::ExtractZipFromFile(const std::string& ExePath, const std::string& ZipPath) {
    std::int64_t length = PayloadSizeOfFile(ExePath);
    if (length == 0)
        throw EExeUtilsError("\"" + ExePath + "\" carries no payload");
    std::int64_t imageEnd = GetImageEndOfFile(ExePath);
    Reporting([&] {
        TFileStream target(ZipPath, TFileMode::fmCreate);
        CopyPayload(ExePath, imageEnd, length, target);
        if (target.Position() != length)
            throw EExeUtilsError("The payload of \"" + ExePath + "\" changed while it was being read");
        target.Close();
    });
}

} // namespace Norvane::Shared

// --- Resource editing -------------------------------------------------------

namespace Norvane::Shared {

const char* const TExeUtils::VersionNames[11] = {"CompanyName",      "FileDescription", "FileVersion",
                                                 "InternalName",     "LegalCopyright",  "LegalTrademarks",
                                                 "OriginalFileName", "ProgramID",       "ProductName",
                                                 "ProductVersion",   "Comments"};

void TExeUtils::ChangeExeIcon(const std::string& ExePath, const std::string& IcoPath) {
    constexpr std::uint16_t NewLanguage = 1033;
    TIconFile icon = TIconFile::Load(IcoPath);
    TPeResources pe = TPeResources::Load(ExePath);
    const auto groupType = TResourceName::Number(ResourceType::GroupIcon);
    const auto iconType = TResourceName::Number(ResourceType::Icon);
    const auto mainIcon = TResourceName::String("MAINICON");

    std::uint16_t reserved = 0, type = 1;
    auto groupLanguages = pe.Languages(groupType, mainIcon);
    if (!groupLanguages.empty()) {
        std::vector<std::uint8_t> old = pe.Find(groupType, mainIcon, groupLanguages[0])->Data;
        pe.Remove(groupType, mainIcon, groupLanguages[0]);
        if (old.size() >= 6) {
            reserved = static_cast<std::uint16_t>(old[0] | (old[1] << 8));
            type = static_cast<std::uint16_t>(old[2] | (old[3] << 8));
            std::size_t count = static_cast<std::size_t>(old[4] | (old[5] << 8));
            for (std::size_t i = 0; i < count && 6 + 14 * i + 14 <= old.size(); ++i) {
                std::size_t at = 6 + 14 * i + 12;
                auto id = static_cast<std::uint16_t>(old[at] | (old[at + 1] << 8));
                auto languages = pe.Languages(iconType, TResourceName::Number(id));
                if (!languages.empty())
                    pe.Remove(iconType, TResourceName::Number(id), languages[0]);
            }
        }
    }

    std::vector<std::uint8_t> group = {static_cast<std::uint8_t>(reserved),
                                       static_cast<std::uint8_t>(reserved >> 8),
                                       static_cast<std::uint8_t>(type),
                                       static_cast<std::uint8_t>(type >> 8),
                                       static_cast<std::uint8_t>(icon.Images.size()),
                                       static_cast<std::uint8_t>(icon.Images.size() >> 8)};
    for (std::size_t i = 0; i < icon.Images.size(); ++i) {
        auto entry = icon.EntryBytes(i);
        group.insert(group.end(), entry.begin(), entry.end());
        auto number = static_cast<std::uint16_t>(i + 1);
        group.push_back(static_cast<std::uint8_t>(number));
        group.push_back(static_cast<std::uint8_t>(number >> 8));
        pe.Put(iconType, TResourceName::Number(number), NewLanguage, icon.Images[i].Data);
    }
    pe.Put(groupType, mainIcon, NewLanguage, std::move(group));
    pe.Save(ExePath);
}

std::size_t TExeUtils::UpdateExeInfo(const std::string& ExePath, const std::string& CompanyName,
                                     const std::string& FileDescription, const std::string& FileVersion,
                                     const std::string& InternalName, const std::string& LegalCopyright,
                                     const std::string& LegalTrademarks, const std::string& OriginalFileName,
                                     const std::string& ProgramID, const std::string& ProductName,
                                     const std::string& ProductVersion, const std::string& Comments) {
    const std::string* texts[11] = {&CompanyName,    &FileDescription, &FileVersion,      &InternalName,
                                    &LegalCopyright, &LegalTrademarks, &OriginalFileName, &ProgramID,
                                    &ProductName,    &ProductVersion,  &Comments};
    std::vector<std::pair<std::string, std::string>> values;
    for (std::size_t i = 0; i < 11; ++i)
        values.emplace_back(VersionNames[i], *texts[i]);
    return UpdateExeInfo(ExePath, values);
}

std::size_t TExeUtils::UpdateExeInfo(const std::string& ExePath,
                                     const std::vector<std::pair<std::string, std::string>>& Values) {
    if (GetFileSize(ExePath) < 0)
        return 0;
    TPeResources pe = TPeResources::Load(ExePath);
    const auto versionType = TResourceName::Number(ResourceType::Version);
    const auto one = TResourceName::Number(1);
    auto languages = pe.Languages(versionType, one);
    if (languages.empty())
        return 0;
    // The block the system's look-up finds first: the neutral language's.
    std::uint16_t language =
        std::find(languages.begin(), languages.end(), 0) != languages.end() ? 0 : languages[0];
    TVersionBlock block = TVersionBlock::Parse(pe.Find(versionType, one, language)->Data);
    std::size_t written = 0;
    for (auto [lang, codePage] : block.Translations()) {
        char table[9];
        std::snprintf(table, sizeof table, "%04X%04X", lang, codePage);
        for (const char* name : VersionNames)
            for (const auto& [given, text] : Values)
                if (given == name && block.SetString(table, name, text))
                    ++written;
    }
    pe.Put(versionType, one, 0, block.Build());
    pe.Save(ExePath);
    return written;
}

} // namespace Norvane::Shared
