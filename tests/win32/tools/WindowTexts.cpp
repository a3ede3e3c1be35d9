// Test tool of the end-to-end runs under wine: prints what the shown windows
// with a given title hold, as the system's own window texts, so a script can
// check a dialog's message and buttons (xdotool sees only the title).
//
//   norvane_window_texts TITLE [SECONDS]
//
// Waits up to SECONDS (default 10) for a visible top-level window with exactly
// that title, then prints for each one "window <title>" followed by a line
// "<class> <text>" for every child window (the text may be empty). Exit code
// 1 when none was shown in time.
#include "platform/win32/Win32Internal.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Norvane::Platform::Win32::Narrow;
using Norvane::Platform::Win32::Widen;

std::wstring TextOf(HWND window) {
    int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    int copied = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    int length = ::GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

struct TSearch {
    std::wstring Title;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<TSearch*>(data);
    if (::IsWindowVisible(window) && TextOf(window) == search->Title)
        search->Found.push_back(window);
    return TRUE;
}

BOOL CALLBACK PrintChild(HWND window, LPARAM) {
    std::printf("%s %s\n", Narrow(ClassOf(window)).c_str(), Narrow(TextOf(window)).c_str());
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: norvane_window_texts TITLE [SECONDS]\n");
        return 2;
    }
    TSearch search;
    search.Title = Widen(argv[1]);
    int tenths = (argc > 2 ? std::atoi(argv[2]) : 10) * 10;
    for (int i = 0; i <= tenths && search.Found.empty(); ++i) {
        if (i > 0)
            ::Sleep(100);
        ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    }
    for (HWND window : search.Found) {
        std::printf("window %s\n", Narrow(TextOf(window)).c_str());
        ::EnumChildWindows(window, PrintChild, 0);
    }
    std::fflush(stdout);
    return search.Found.empty() ? 1 : 0;
}
