// Queries about the machine and the user, and the calling thread's last error
// of the platform layer (the counterpart of the system's last error code that
// callers read after a failed operation).
#pragma once

#include <optional>
#include <string>

namespace Norvane::Platform {

// Error code and message of the last failed platform operation on this thread.
// Codes are the system's error numbers; 0 means no error.
int LastErrorCode();
// The message for the last error: the text given to SetLastError when there
// was one, otherwise the system's message for the code.
std::string LastErrorMessage();
void SetLastError(int code, std::string message = {});
// The system's message text for an error number.
std::string SystemErrorMessage(int code);

// The machine's network host name; empty when the system does not report one.
std::string ComputerName();
// Login name of the user the process runs as; nothing when it cannot be found.
std::optional<std::string> UserName();
// True when the process runs with administrator (root) rights.
bool IsSuperUser();

// True when the text can be one component of a path (a file or folder name):
// here it must not contain a zero byte nor be longer than the system's limit
// for names (NAME_MAX bytes). The empty name counts as valid (it stands for
// the root or a doubled separator).
bool IsValidFileNameComponent(const std::string& name);

// The decimal separator of the user's locale of number formats: the locale
// named by the first of LC_ALL, LC_NUMERIC, LANG that is set and not empty;
// "." when none is, or when that locale is not installed.
std::string UserDecimalSeparator();

// The separator of path components ('/' here).
char PathDelimiter();
// The path named by a "file:///" address given without that prefix and
// without any decoding: here the prefix's last '/' is the root, so
// "home/a/b.png" (from file:///home/a/b.png) gives "/home/a/b.png".
std::string FileAddressPath(const std::string& afterPrefix);

} // namespace Norvane::Platform
