// Start-up of the packaged application: finding and opening the payload
// attached to the running executable, reading the settings, preparing the
// per-user folders and the engine library, the engine's environment, the
// engine check (with the installer) and the access password.
//
// The globals below are written once by LoadExeZip and only read afterwards
// (by the main window, the browser window and the bridge). The archive reader
// and the settings reader live until the process ends; nobody else frees them.
#pragma once

#include <string>
#include <vector>

#include "shared/ExeUtils.h"
#include "shared/ExeZip.h"
#include "shared/ProjectIni.h"

namespace Norvane::Runtime {

// Created first; used only during start-up.
extern Shared::TExeUtils* ExeUtils;
// Open over the payload (read in place from the mapped executable) for the whole run.
extern Shared::TExeZip* ExeZip;
// The lines of "qvx.ini".
extern Shared::TProjectIni* ProjectINI;

extern std::string AppID;         // [App] ID
extern std::string AppName;       // [App] Name
extern std::string AppFolderName; // [App] DirName: the application folder inside the archive
extern std::string AppIndexHtml;  // [App] IndexHtml, default "index.html"
// The local application data folder, AppID and a separator.
extern std::string RuntimeDataDir;
// RuntimeDataDir + "Win32/": the engine library and the browser's user data.
extern std::string WebViewDataDir;
// (The engine library's path, WebViewDataDir + "WebView2LoaderWin32.dll", is
// Norvane::Shared::WebView2LoaderPath of the browser-control module.)

// The values of the engine's environment.
inline constexpr const char* UserDataFolderVariable = "WEBVIEW2_USER_DATA_FOLDER";
inline constexpr const char* AdditionalBrowserArgumentsVariable = "WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS";
inline constexpr const char* BrowserExecutableFolderVariable = "WEBVIEW2_BROWSER_EXECUTABLE_FOLDER";
inline constexpr const char* ReleaseChannelPreferenceVariable = "WEBVIEW2_RELEASE_CHANNEL_PREFERENCE";
inline constexpr const char* AdditionalBrowserArguments =
    "--disable-logging --disable-features=RendererCodeIntegrity --enable-features=msSpeechRecognition";
// With the value "none", the engine installer runs as the invoking user
// without asking for administrator rights (test set-ups; systems whose
// installer needs no rights). Any other value, or none: the system's
// authorisation prompt (pkexec).
inline constexpr const char* ElevationVariable = "NORVANE_ELEVATION";
// Sub-folder of RuntimeDataDir for the engine library and the browser profile.
inline constexpr const char* WebViewDataSubDir = "Win32/";

// The command line of the process, as the entry received it: ParamStr(0) is
// the program, ParamStr(1) to ParamStr(ParamCount()) the arguments. An index
// outside gives the empty text.
void SetCommandLine(int argc, const char* const* argv);
int ParamCount();
std::string ParamStr(int Index);
// True for the relaunch form: at least one argument, the first equal to AppID.
bool IsRelaunch();

// Runs the start-up from the payload check to the password prompt. Every
// failure of the way ends the process with exit code 0 (after at most one
// dialog); errors of the archive reader and of writing the engine library
// propagate to the caller.
void LoadExeZip();

// The steps of LoadExeZip that other callers and tests use on their own.
// Reads "qvx.ini" from the archive into ProjectINI (empty settings when the
// entry is missing).
void LoadProjectIni();
// The icon entry of the payload, when there is one, becomes the icon of every
// window; a damaged icon or images larger than 1024 pixels are left out.
void ApplyApplicationIcon();
// Theme at start: a Theme other than exactly "Windows" is given to the style
// engine, and a name it does not know shows "Style '%s' not found"; pop-up
// menus are then taken out of the style engine's system hooks.
void ApplyStartupTheme();
// The name of the per-application folder for an identifier: the identifier
// itself, with "%", "/" and the zero byte written as %25, %2F and %00, and the
// names "." and ".." as %2E and %2E%2E, so that it is always one folder inside
// the local application data folder.
std::string FolderNameOfID(const std::string& ID);
// Creates RuntimeDataDir and WebViewDataDir and writes the engine library
// when no file is at its path yet (an existing one is used unchanged).
void PrepareFolders();
// Sets and removes the engine's environment variables.
void SetBrowserEnvironment();
// The engine is missing: offers the installer of the payload (when allowed),
// runs it and restarts the application. Never returns.
[[noreturn]] void InstallEdgeRuntime();

// Ends the process at once with exit code 0.
[[noreturn]] void EndStartup();

} // namespace Norvane::Runtime
