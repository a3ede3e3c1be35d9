// Deleting and copying files and folders the way the system's shell does,
// without any user interface: no confirmation, no progress, no error boxes.
// Paths are UTF-8. Failures set the platform layer's last error where the
// system gives one.
#pragma once

#include <string>

namespace Norvane::Platform {

// Removes the file or folder at Path with all its contents, for good (never to
// a recycle bin). A link (a symbolic link, or a junction on Windows) is removed
// itself, never what it points to. False when nothing is at the path or
// something could not be removed.
bool RemoveItem(const std::string& Path);

// Copies a file or folder: into ToPath when that is an existing folder,
// otherwise to ToPath itself, replacing files and creating folders without
// asking. False when the source is missing, when a file would be copied onto
// itself or a folder into itself or its own subtree, or when anything failed.
bool CopyItem(const std::string& FromPath, const std::string& ToPath);

} // namespace Norvane::Platform
