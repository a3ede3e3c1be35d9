// The desktop shell: opening documents, addresses and programs the way a user
// would, and showing items in the file manager.
#pragma once

#include <string>

namespace Norvane::Platform {

// Opens a document, folder or address with the desktop's default handler
// (xdg-open, else "gio open"). True when the handler could be started.
bool OpenWithDefaultHandler(const std::string& target);

// The shell's "open" of a file with a parameter text:
// - an address with a scheme (http:, mailto:, file:, ...) and any existing
//   item that is not an executable file (documents, folders) go to the
//   default handler; the parameters are not used for them;
// - an executable file is started directly with the parameters split into
//   arguments by the Windows command-line rules (see CommandLine.h);
// - a bare name that names nothing in the current folder is looked up as a
//   program in PATH.
// True when the process could be started; false, with the last error set,
// when the item does not exist or nothing could be started.
bool ShellExecute(const std::string& file, const std::string& parameters);

// Asks the file manager to show the item selected (the freedesktop
// FileManager1 interface on the session bus); when that fails, opens the
// folder that contains the item. True when one of them could be started.
bool ShowItemInFileManager(const std::string& path);

// The address of a local path as a file URI (percent-encoded, absolute).
std::string FileUri(const std::string& path);

} // namespace Norvane::Platform
