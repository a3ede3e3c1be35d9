// The Win32 message loop: a message-only window of the user-interface thread
// receives each piece as a posted message, so any loop that dispatches the
// thread's messages (the main loop, a modal dialog's) runs it.
#include "tests/fakeengine/UiLoop.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace Norvane::Testing::FakeEngine {
namespace {

constexpr UINT PieceMessage = WM_APP + 0x4E56;
std::mutex WindowLock;
std::atomic<HWND> Window{nullptr};

LRESULT CALLBACK WindowProcedure(HWND Handle, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == PieceMessage) {
        auto* piece = reinterpret_cast<std::function<void()>*>(LParam);
        (*piece)();
        delete piece;
        return 0;
    }
    return ::DefWindowProcW(Handle, Message, WParam, LParam);
}

} // namespace

void BindUiLoop() {
    std::lock_guard guard(WindowLock);
    if (Window.load())
        return;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"NorvaneFakeEngineUiLoop";
    ::RegisterClassW(&windowClass);
    Window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, nullptr);
}

void PostToUiLoop(std::function<void()> Piece) {
    if (!Window.load())
        BindUiLoop();
    auto* piece = new std::function<void()>(std::move(Piece));
    if (!::PostMessageW(Window.load(), PieceMessage, 0, reinterpret_cast<LPARAM>(piece)))
        delete piece;
}

} // namespace Norvane::Testing::FakeEngine
