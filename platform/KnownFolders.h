// The user's and the system's well-known folders.
//
// On the freedesktop platforms the user folders come from the XDG base
// directories and the XDG user directories:
//   LocalAppData   XDG_DATA_HOME, else ~/.local/share
//   RoamingAppData XDG_CONFIG_HOME, else ~/.config
//   Desktop        XDG_DESKTOP_DIR of user-dirs.dirs, else ~/Desktop
//   Documents      XDG_DOCUMENTS_DIR of user-dirs.dirs, else the home folder
//   ProgramFiles   /opt (add-on application packages)
//   SystemRoot     /usr (the installed operating system)
//   System         /usr/bin (the system's programs)
//   SystemApps     /usr/share/applications (the system's application entries)
#pragma once

#include <string>
#include <vector>

namespace Norvane::Platform {

enum class KnownFolder {
    Desktop,
    Documents,
    RoamingAppData,
    LocalAppData,
    ProgramFiles,
    SystemRoot,
    System,
    SystemApps
};

// The folder's path without a trailing separator (the root stays "/"); empty
// when it cannot be determined (for example when no home folder is known).
std::string KnownFolderPath(KnownFolder folder);

// The user's home folder as each source names it: the HOME variable when it
// holds an absolute path, and the home folder of the user's entry in the
// password file; without trailing separators (the root stays "/"), each path
// once. Empty when neither is known.
std::vector<std::string> HomeFolderPaths();

// The user's folder for temporary files: TMPDIR when set to an absolute path,
// otherwise /tmp. No trailing separator.
std::string TempFolderPath();

} // namespace Norvane::Platform
