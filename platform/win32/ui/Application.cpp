// The application object on Win32: the message loops, the thread queue (a
// message-only window), timers and the hooks of platform/Ui.h that need the
// system (the portable part is platform/ui/Application.cpp).
#include "platform/win32/ui/Win32Ui.h"

#include "platform/Ui.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <future>
#include <map>
#include <mutex>

namespace Norvane::Platform::Ui {

using namespace Win32Ui;

namespace {

constexpr UINT QueueMessage = WM_APP + 1;

struct TQueueState {
    std::mutex Lock;
    std::deque<std::function<void()>> Pieces;
    HWND Window = nullptr;
    bool WakePosted = false;
};

TQueueState& QueueState() {
    static auto* state = new TQueueState();
    return *state;
}

// Posts one wake-up to the queue window unless one is on its way (lock held).
void WakeQueueLocked(TQueueState& State) {
    if (State.Window && !State.WakePosted && !State.Pieces.empty() &&
        PostMessageW(State.Window, QueueMessage, 0, 0))
        State.WakePosted = true;
}

// Runs the first queued piece: one piece per message, as each is an event of
// its own (a loop looks at its state between two pieces); a wake-up for the
// next one is posted first.
void RunQueuedPiece() {
    auto& state = QueueState();
    std::function<void()> piece;
    {
        std::lock_guard lock(state.Lock);
        state.WakePosted = false;
        if (state.Pieces.empty())
            return;
        piece = std::move(state.Pieces.front());
        state.Pieces.pop_front();
        WakeQueueLocked(state);
    }
    Application().Guard(piece);
}

LRESULT CALLBACK QueueProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == QueueMessage) {
        RunQueuedPiece();
        return 0;
    }
    return DefWindowProcW(Window, Message, WParam, LParam);
}

std::map<UINT_PTR, std::function<void()>>& Timers() {
    static auto* timers = new std::map<UINT_PTR, std::function<void()>>();
    return *timers;
}

void CALLBACK TimerProc(HWND, UINT, UINT_PTR Id, DWORD) {
    auto it = Timers().find(Id);
    if (it == Timers().end())
        return;
    auto piece = it->second; // the piece may stop its own timer
    Guard(piece);
}

// Handles messages in blocking turns until Done holds. The handle (a process
// handle) stays signalled once set, so after it has been seen without Done
// holding, the turns wait for messages and a timer only.
bool WaitMessagesUntil(Platform::WaitHandle Handle, const std::function<bool()>& Done) {
    if (!Application().IsUiThread() || Application().Terminated())
        return false;
    constexpr DWORD RetryMs = 100;
    HANDLE handle =
        Handle == Platform::NoWaitHandle || Handle == 0 ? nullptr : reinterpret_cast<HANDLE>(Handle);
    while (!Done()) {
        DWORD count = handle ? 1 : 0;
        DWORD result = MsgWaitForMultipleObjectsEx(count, handle ? &handle : nullptr, RetryMs, QS_ALLINPUT,
                                                   MWMO_INPUTAVAILABLE);
        if (handle && result == WAIT_OBJECT_0)
            handle = nullptr; // seen once; Done decides from here on
        else if (result == WAIT_FAILED)
            handle = nullptr;
        Application().ProcessMessages();
    }
    return true;
}

// Turns a message of the loops into its handling: key messages go to their
// form first.
void Dispatch(MSG& Message) {
    if (PreTranslateKey(Message))
        return;
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
}

} // namespace

// Timers.

unsigned Win32Ui::StartTimer(unsigned Milliseconds, std::function<void()> Piece) {
    UINT_PTR id = SetTimer(nullptr, 0, std::max(Milliseconds, 1u), TimerProc);
    if (id == 0)
        return 0;
    Timers()[id] = std::move(Piece);
    return static_cast<unsigned>(id);
}

void Win32Ui::StopTimer(unsigned Id) {
    if (Id == 0)
        return;
    KillTimer(nullptr, Id);
    Timers().erase(Id);
}

void TApplication::Initialize() {
    if (FInitialized)
        return;
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    RegisterClasses();
    WNDCLASSEXW queueClass{};
    queueClass.cbSize = sizeof queueClass;
    queueClass.lpfnWndProc = QueueProc;
    queueClass.hInstance = Instance();
    queueClass.lpszClassName = QueueClass;
    RegisterClassExW(&queueClass);
    HWND queue =
        CreateWindowExW(0, QueueClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Instance(), nullptr);
    if (!queue)
        throw EUiError("Cannot create the application's message window");
    FInitialized = true;
    FUiThread = std::this_thread::get_id();
    {
        auto& state = QueueState();
        std::lock_guard lock(state.Lock);
        state.Window = queue;
        WakeQueueLocked(state);
    }
    if (FTitle.empty()) {
        wchar_t path[MAX_PATH] = {};
        DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring name(path, n);
        std::size_t slash = name.find_last_of(L"\\/");
        if (slash != std::wstring::npos)
            name.erase(0, slash + 1);
        std::size_t dot = name.rfind(L'.');
        if (dot != std::wstring::npos)
            name.erase(dot);
        FTitle = Win32::Narrow(name);
    }

    Platform::UiHooks hooks;
    hooks.WaitMessagesUntil = WaitMessagesUntil;
    hooks.PressKey = [](int VirtualKey) { return PressKey(VirtualKey); };
    hooks.ExtractIcon = [](const std::string& Path, int& Width, int& Height,
                           std::vector<std::uint8_t>& Pixels) {
        return FileIcon(Path, Width, Height, Pixels);
    };
    hooks.TextWidth = [](const std::string& Font, int Size, bool Bold, bool Italic, const std::string& Text) {
        return TextWidth(Font, Size, Bold, Italic, Text);
    };
    InstallUiHooks(std::move(hooks));
}

void TApplication::SetTitle(const std::string& Value) {
    FTitle = Value;
}

namespace {
std::vector<HICON>& ApplicationIcons() {
    static auto* icons = new std::vector<HICON>();
    return *icons;
}

int IconWidth(HICON Icon) {
    ICONINFO info{};
    int size = 0;
    if (GetIconInfo(Icon, &info)) {
        BITMAP bm{};
        if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm))
            size = bm.bmWidth;
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        if (info.hbmMask)
            DeleteObject(info.hbmMask);
    }
    return size;
}
} // namespace

// The smallest image for the title bar, the largest for the task bar.
void Win32Ui::ApplyApplicationIcon(HWND Window) {
    const auto& icons = ApplicationIcons();
    if (!Window || icons.empty())
        return;
    auto [small, big] = std::minmax_element(icons.begin(), icons.end(),
                                            [](HICON A, HICON B) { return IconWidth(A) < IconWidth(B); });
    SendMessageW(Window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(*small));
    SendMessageW(Window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(*big));
}

// The icon of every form (the forms made later take it when created).
int TApplication::SetIcon(const std::vector<std::string>& Images) {
    std::vector<HICON> icons;
    for (const auto& image : Images) {
        TBitmap bitmap;
        try {
            bitmap = TBitmap::FromEncoded(image);
        } catch (const EUiError&) {
            continue;
        }
        if (bitmap.Empty() || bitmap.Width() > 1024 || bitmap.Height() > 1024)
            continue;
        HBITMAP color = BitmapToHbitmap(bitmap);
        HBITMAP mask = CreateBitmap(bitmap.Width(), bitmap.Height(), 1, 1, nullptr);
        ICONINFO info{TRUE, 0, 0, mask, color};
        HICON icon = color && mask ? CreateIconIndirect(&info) : nullptr;
        if (color)
            DeleteObject(color);
        if (mask)
            DeleteObject(mask);
        if (icon)
            icons.push_back(icon);
    }
    if (icons.empty())
        return 0;
    for (HICON old : ApplicationIcons())
        DestroyIcon(old);
    ApplicationIcons() = icons;
    for (TCustomForm* form : LiveForms())
        ApplyApplicationIcon(H(form->NativeWindow()));
    return static_cast<int>(icons.size());
}

void TApplication::Run() {
    Initialize();
    if (FMainForm && FShowMainForm && !FTerminated)
        FMainForm->Show();
    MSG message;
    while (!FTerminated) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            Terminate();
            break;
        }
        Dispatch(message);
    }
    if (FMainForm && FMainForm->FWindow)
        ShowWindow(H(FMainForm->FWindow), SW_HIDE);
    ProcessMessages();
}

void TApplication::Terminate() {
    FTerminated = true;
    // Wakes a loop that waits for a message.
    auto& state = QueueState();
    std::lock_guard lock(state.Lock);
    if (state.Window)
        PostMessageW(state.Window, WM_NULL, 0, 0);
}

void TApplication::ProcessMessages() {
    if (!FInitialized || !IsUiThread())
        return;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            Terminate();
            break;
        }
        Dispatch(message);
    }
}

void TApplication::HandleMessage() {
    if (!FInitialized || FTerminated || !IsUiThread())
        return;
    MSG message;
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
        Terminate();
        return;
    }
    Dispatch(message);
}

void TApplication::Queue(std::function<void()> Piece) {
    auto& state = QueueState();
    std::lock_guard lock(state.Lock);
    state.Pieces.push_back(std::move(Piece));
    WakeQueueLocked(state);
}

TCustomForm* TApplication::ActiveForm() const {
    if (!FInitialized)
        return nullptr;
    HWND active = GetActiveWindow();
    return active ? dynamic_cast<TCustomForm*>(ControlOf(active)) : nullptr;
}

void Win32Ui::EnsureToolkit() {
    Application().Initialize();
}

} // namespace Norvane::Platform::Ui
