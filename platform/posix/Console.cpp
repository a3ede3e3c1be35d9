#include "platform/Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace Norvane::Platform {

bool IsTerminal(int fd) {
    return ::isatty(fd) == 1;
}

int TerminalWidth(int fd) {
    struct winsize size {};
    if (::ioctl(fd, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

void SetBinaryMode(int /*fd*/) {}

} // namespace Norvane::Platform
