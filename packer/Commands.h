// The subcommands of norvane-pack.
#pragma once

#include <string>

namespace Norvane::Packer {

struct TBuildOptions {
    std::string AppDir;
    std::string IniFile;
    std::string ScriptFile;    // empty: no "qvx-webviewjs" entry
    std::string LoaderFile;    // empty: the engine library built beside the packer
    std::string InstallerFile; // empty: no installer entry
    std::string RuntimeFile;   // empty: the runtime built beside the packer
    std::string Output;
    bool Deflate = false;
};

// Each raises EPackError with a message for the user.
void BuildPackage(const TBuildOptions& Options);
void ListPayload(const std::string& ExePath);
void CatEntry(const std::string& ExePath, const std::string& EntryName);
void ExtractPayload(const std::string& ExePath, const std::string& ZipPath);
// The visual styles, sorted; with a folder, one preview picture per style.
void ListThemes();
void WriteThemePreviews(const std::string& Dir);

// Messages on standard error.
void Warn(const std::string& Text);
void Note(const std::string& Text);

} // namespace Norvane::Packer
