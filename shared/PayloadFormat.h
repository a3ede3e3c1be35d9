// Fixed names and the fixed password of the payload archive.
#pragma once

namespace Norvane::Shared {

// The one password every payload archive is encrypted with.
inline constexpr const char* PayloadPassword = "w4kd81pz0qr6nht3xa9cyb2jmf7ue5vlgs0o";

inline constexpr const char* IniEntryName = "qvx.ini";
inline constexpr const char* ExtraScriptEntryName = "qvx-webviewjs";
inline constexpr const char* LoaderEntryName = "WebView2LoaderWin32.dll";
inline constexpr const char* InstallerEntryName = "WebView2Installer.exe";
// The application's icon file (.ico), packed for runtimes whose executable
// cannot carry it as a resource; the runtime shows it on all its windows.
inline constexpr const char* IconEntryName = "qvx-icon.ico";
// The version texts (NAME=VALUE lines) for runtimes without a version block;
// the desktop entry takes its name and comment from them.
inline constexpr const char* VersionEntryName = "qvx-version.txt";

} // namespace Norvane::Shared
