// The subcommands of norvane-pack.
#pragma once

#include <string>
#include <utility>
#include <vector>

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
    std::string IconFile;                                         // --icon
    std::vector<std::pair<std::string, std::string>> VersionInfo; // --version-info NAME=VALUE
};

// Each raises EPackError with a message for the user.
void BuildPackage(const TBuildOptions& Options);
void ListPayload(const std::string& ExePath);
void CatEntry(const std::string& ExePath, const std::string& EntryName);
void ExtractPayload(const std::string& ExePath, const std::string& ZipPath);
// The visual styles, sorted; with a folder, one preview picture per style.
void ListThemes();
void WriteThemePreviews(const std::string& Dir);

// Branding.cpp: the icon and version texts of a build.
// Adds one --version-info NAME=VALUE; raises EUsageError for an unknown name.
void AddVersionInfo(TBuildOptions& Options, const std::string& Assignment);
// Checks the icon file and the runtime's kind before anything is written;
// true when the runtime is a Portable Executable (edited in the copy).
bool CheckBranding(const TBuildOptions& Options, const std::string& Runtime);
// Writes the icon and version texts into the copy of a Portable Executable runtime.
void BrandRuntimeCopy(const TBuildOptions& Options, const std::string& Copy);

// desktop EXE [--install] [-o DIR] [--name N] [--comment C] [--categories C] [--icon FILE.ico]
void DesktopCommand(const std::vector<std::string>& Args);

// run: builds into a temporary folder, runs the result with AppArguments and
// returns its exit code; the temporary folder is removed in every case. With
// Watch, packs again on every saved change of the application folder, the
// settings or the extra script and reloads (or restarts) the application,
// until the application ends.
int RunPackage(TBuildOptions Options, const std::vector<std::string>& AppArguments, bool Watch);

// types: qvx.d.ts on standard output.
void PrintTypes();

// Messages on standard error.
void Warn(const std::string& Text);
void Note(const std::string& Text);

} // namespace Norvane::Packer
