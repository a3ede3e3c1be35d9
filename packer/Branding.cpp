// The icon and version texts of a packaged application: checked before a
// build writes anything, then written into the copy of a Portable Executable
// runtime, or packed as payload entries for the Linux runtime.
#include "packer/Commands.h"
#include "packer/PackError.h"
#include "platform/Text.h"
#include "shared/ExeUtils.h"
#include "shared/IconFile.h"
#include "shared/PeResources.h"
#include "shared/Streams.h"

namespace Norvane::Packer {

using namespace Norvane::Shared;

void AddVersionInfo(TBuildOptions& Options, const std::string& Assignment) {
    auto eq = Assignment.find('=');
    std::string name = Assignment.substr(0, eq);
    if (eq == std::string::npos || name.empty())
        throw EUsageError("--version-info takes NAME=VALUE, not \"" + Assignment + "\"");
    const char* known = nullptr;
    std::string names;
    for (const char* candidate : TExeUtils::VersionNames) {
        names += std::string(names.empty() ? "" : ", ") + candidate;
        if (Platform::Text::EqualsNoCase(candidate, name))
            known = candidate;
    }
    if (!known)
        throw EUsageError("unknown version text \"" + name + "\"; the names are " + names);
    std::string value = Assignment.substr(eq + 1);
    if (value.find_first_of("\r\n") != std::string::npos || value.find('\0') != std::string::npos)
        throw EUsageError("the version text " + std::string(known) + " must be one line");
    for (auto& [given, text] : Options.VersionInfo) {
        if (given == known) {
            text = value;
            return;
        }
    }
    Options.VersionInfo.emplace_back(known, value);
}

bool CheckBranding(const TBuildOptions& Options, const std::string& Runtime) {
    if (!Options.IconFile.empty()) {
        try {
            TIconFile::Load(Options.IconFile);
        } catch (const EIconFileError& e) {
            throw EPackError(e.what());
        }
    }
    std::vector<std::uint8_t> magic(2, 0);
    try {
        TFileStream file(Runtime, TFileMode::fmOpenRead);
        file.Read(magic.data(), 2);
    } catch (const std::exception& e) {
        throw EPackError("Cannot read the runtime: " + std::string(e.what()));
    }
    bool pe = magic[0] == 'M' && magic[1] == 'Z';
    if (pe && (!Options.IconFile.empty() || !Options.VersionInfo.empty())) {
        // The resources must be readable before anything is written.
        try {
            TPeResources::Load(Runtime);
        } catch (const EPeError& e) {
            throw EPackError(std::string("The runtime's resources cannot be edited: ") + e.what());
        }
    }
    if (!pe && !Options.VersionInfo.empty())
        Warn("the Linux runtime has no version block: the version texts are kept in the payload only, "
             "for the name and comment of \"norvane-pack desktop\"");
    return pe;
}

void BrandRuntimeCopy(const TBuildOptions& Options, const std::string& Copy) {
    TExeUtils utils;
    try {
        if (!Options.IconFile.empty())
            utils.ChangeExeIcon(Copy, Options.IconFile);
        if (!Options.VersionInfo.empty()) {
            std::size_t written = utils.UpdateExeInfo(Copy, Options.VersionInfo);
            if (written == 0)
                Warn(
                    "the runtime's version block holds none of the version texts given; nothing was written");
        }
    } catch (const std::exception& e) {
        throw EPackError("Cannot set the icon or version texts of the runtime copy: " +
                         std::string(e.what()));
    }
}

} // namespace Norvane::Packer
