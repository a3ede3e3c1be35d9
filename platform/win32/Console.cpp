#include "platform/Console.h"

#include "platform/win32/Win32Internal.h"

#include <fcntl.h>
#include <io.h>

namespace Norvane::Platform {
namespace {

HANDLE StreamHandle(int fd) {
    switch (fd) {
    case StdIn:
        return ::GetStdHandle(STD_INPUT_HANDLE);
    case StdOut:
        return ::GetStdHandle(STD_OUTPUT_HANDLE);
    case StdErr:
        return ::GetStdHandle(STD_ERROR_HANDLE);
    default:
        return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    }
}

} // namespace

// A console answers GetConsoleMode; a pipe, a file or the null device does not.
bool IsTerminal(int fd) {
    DWORD mode = 0;
    HANDLE handle = StreamHandle(fd);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

int TerminalWidth(int fd) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    HANDLE handle = StreamHandle(fd);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !::GetConsoleScreenBufferInfo(handle, &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

void SetBinaryMode(int fd) {
    ::_setmode(fd, _O_BINARY);
}

} // namespace Norvane::Platform
