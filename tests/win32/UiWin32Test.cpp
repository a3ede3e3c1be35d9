// The Win32 backend of the user-interface framework, run under wine with a
// display: geometry, layout, modal loops, the thread queue, menus and keys.
#include "platform/ui/Application.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Menus.h"

#include "platform/ChildProcess.h"
#include "platform/Ui.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace Norvane::Platform::Ui;

namespace {

class UiWin32 : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Application().Initialize(); }
    void TearDown() override { Application().ProcessMessages(); }
};

// Pumps messages until Done holds or about five seconds have passed.
template <class F> bool PumpUntil(F Done) {
    for (int i = 0; i < 500 && !Done(); ++i) {
        Application().ProcessMessages();
        Sleep(10);
    }
    return Done();
}

TEST_F(UiWin32, FormGeometryWithMenuBarAndAlignLayout) {
    auto* form = new TForm();
    auto* menu = new TMainMenu(form);
    auto* file = new TMenuItem(menu);
    file->SetCaption("&File");
    menu->Items()->Add(file);
    auto* open = new TMenuItem(menu);
    open->SetCaption("&Open");
    file->Add(open);
    form->SetBounds(50, 60, 420, 330);
    EXPECT_EQ(form->Left(), 50);
    EXPECT_EQ(form->Top(), 60);
    EXPECT_EQ(form->Width(), 420);
    EXPECT_EQ(form->Height(), 330);
    const int clientWithoutMenu = form->ClientHeight();
    form->SetMenu(menu);
    EXPECT_EQ(form->Height(), 330) << "the outer size stays; the menu bar takes from the client area";
    EXPECT_LT(form->ClientHeight(), clientWithoutMenu);
    form->SetClientSize(300, 200);
    EXPECT_EQ(form->ClientWidth(), 300);
    EXPECT_EQ(form->ClientHeight(), 200);
    EXPECT_GT(form->Height(), 200 + GetSystemMetrics(SM_CYMENU));
    RECT outer{};
    GetWindowRect(static_cast<HWND>(form->NativeWindow()), &outer);
    EXPECT_EQ(outer.right - outer.left, form->Width());
    EXPECT_EQ(outer.bottom - outer.top, form->Height());

    auto* top = new TPanel(form);
    top->SetHeight(30);
    top->SetAlign(TAlign::alTop);
    top->SetParent(form);
    auto* left = new TPanel(form);
    left->SetWidth(40);
    left->SetAlign(TAlign::alLeft);
    left->SetParent(form);
    auto* client = new TPanel(form);
    client->SetAlign(TAlign::alClient);
    client->SetParent(form);
    auto* placed = new TButton(form);
    placed->SetParent(client);
    placed->SetBounds(5, 6, 70, 25);
    EXPECT_EQ(top->Width(), 300);
    EXPECT_EQ(left->Top(), 30);
    EXPECT_EQ(left->Height(), 170);
    EXPECT_EQ(client->Left(), 40);
    EXPECT_EQ(client->Width(), 260);
    EXPECT_EQ(client->Height(), 170);
    RECT r{};
    GetWindowRect(static_cast<HWND>(placed->Widget()), &r);
    MapWindowPoints(nullptr, static_cast<HWND>(client->Handle()), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(r.right - r.left, 70);

    // A label given no size still shows its text.
    auto* label = new TLabel(form);
    label->SetParent(client);
    label->SetCaption("A caption of some length");
    GetWindowRect(static_cast<HWND>(label->Widget()), &r);
    EXPECT_GT(r.right - r.left, 60);
    EXPECT_GT(r.bottom - r.top, 5);

    // The layout follows a resize of the window, and a hidden panel leaves its place.
    form->SetClientSize(400, 250);
    EXPECT_EQ(client->Width(), 360);
    EXPECT_EQ(client->Height(), 220);
    top->SetVisible(false);
    EXPECT_EQ(client->Top(), 0);
    EXPECT_EQ(client->Height(), 250);

    // The controls of a shown form are told of minimize and restore.
    struct TCommands : TPanel {
        using TPanel::TPanel;
        std::vector<unsigned> Got;
        void SysCommand(unsigned Command) override { Got.push_back(Command); }
    };
    auto* commands = new TCommands(form);
    commands->SetParent(client);
    form->Show();
    form->SetWindowState(TWindowState::wsMinimized);
    EXPECT_EQ(form->WindowState(), TWindowState::wsMinimized);
    form->SetWindowState(TWindowState::wsNormal);
    EXPECT_EQ(commands->Got, (std::vector<unsigned>{SC_MINIMIZE, SC_RESTORE}));
    form->Hide();

    // A state asked for while hidden survives size changes and shows.
    form->SetWindowState(TWindowState::wsMaximized);
    form->SetBounds(10, 10, 300, 200);
    EXPECT_EQ(form->WindowState(), TWindowState::wsMaximized);
    form->Show();
    EXPECT_TRUE(IsZoomed(static_cast<HWND>(form->NativeWindow())));
    delete form;
}

TEST_F(UiWin32, ModalLoopEndsOnQueuedResultAndCloseGivesCancel) {
    auto* form = new TForm();
    form->SetCaption("Modal one");
    bool closeAsked = false;
    form->OnCloseQuery = [&](TObject*, bool& CanClose) {
        closeAsked = true;
        CanClose = true;
    };
    Application().Queue([form] { form->SetModalResult(mrOk); });
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_FALSE(form->Visible());
    EXPECT_TRUE(closeAsked);

    // Closing the window (WM_CLOSE, as from its close box) gives mrCancel.
    Application().Queue([form] { PostMessageW(static_cast<HWND>(form->NativeWindow()), WM_CLOSE, 0, 0); });
    EXPECT_EQ(form->ShowModal(), mrCancel);

    // A button with a modal result ends the loop with it.
    auto* button = new TButton(form);
    button->SetParent(form);
    button->SetModalResult(mrYes);
    Application().Queue([button] { button->Click(); });
    EXPECT_EQ(form->ShowModal(), mrYes);

    // A close query that refuses keeps the loop going.
    int asked = 0;
    form->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++asked > 1; };
    Application().Queue([form] {
        form->Close();
        Application().Queue([form] { form->Close(); });
    });
    EXPECT_EQ(form->ShowModal(), mrCancel);
    EXPECT_EQ(asked, 2);
    delete form;
}

TEST_F(UiWin32, ThreadQueueAndSynchronizeFromWorker) {
    std::atomic<int> ranOnUi{0};
    std::atomic<bool> wrongThread{false};
    int synchronized = 0;
    bool rethrown = false;
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i)
            Application().Queue([&] {
                if (!Application().IsUiThread())
                    wrongThread = true;
                ++ranOnUi;
            });
        Application().Synchronize([&] { synchronized = ranOnUi.load(); });
        try {
            Application().Synchronize([] { throw std::runtime_error("from the piece"); });
        } catch (const std::runtime_error& e) {
            rethrown = std::string(e.what()) == "from the piece";
        }
    });
    EXPECT_TRUE(PumpUntil([&] { return ranOnUi == 20 && rethrown; }));
    worker.join();
    EXPECT_FALSE(wrongThread);
    EXPECT_EQ(synchronized, 20) << "queued pieces run in order, before the later synchronized one";
    EXPECT_TRUE(rethrown);

    // RunOnUiThread runs at once on the UI thread.
    bool atOnce = false;
    Application().RunOnUiThread([&] { atOnce = true; });
    EXPECT_TRUE(atOnce);
}

TEST_F(UiWin32, MenuCommandAndShortCutThroughPostedKey) {
    auto* form = new TForm();
    form->SetCaption("Menus");
    auto* menu = new TMainMenu(form);
    auto* file = new TMenuItem(menu);
    file->SetCaption("&File");
    menu->Items()->Add(file);
    auto* save = new TMenuItem(menu);
    save->SetCaption("&Save");
    save->SetShortCut(ShortCut('S', ssCtrl));
    file->Add(save);
    int saved = 0;
    save->OnClick = [&](TObject*) { ++saved; };
    form->SetMenu(menu);
    form->Show();

    // The item's command as the menu sends it.
    HMENU bar = GetMenu(static_cast<HWND>(form->NativeWindow()));
    ASSERT_NE(bar, nullptr);
    HMENU popup = GetSubMenu(bar, 0);
    ASSERT_NE(popup, nullptr);
    UINT id = GetMenuItemID(popup, 0);
    wchar_t text[64] = {};
    GetMenuStringW(popup, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(text), L"&Save\tCtrl+S");
    SendMessageW(static_cast<HWND>(form->NativeWindow()), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    EXPECT_EQ(saved, 1);

    // Ctrl+S posted as a key message: the loop gives it to the form's
    // short-cut check (bits 25 and 27 of the key data carry Ctrl).
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetFocus();
    LPARAM data = (1 << 25) | (1 << 27) | 1;
    PostMessageW(static_cast<HWND>(edit->Widget()), WM_KEYDOWN, 'S', data);
    EXPECT_TRUE(PumpUntil([&] { return saved == 2; }));
    EXPECT_EQ(edit->Text(), "") << "the short-cut took the key";

    // Key preview sees the key first and can take it.
    form->SetKeyPreview(true);
    form->OnKeyDown = [](TObject*, std::uint16_t& Key, TShiftState) {
        if (Key == 'S')
            Key = 0;
    };
    PostMessageW(static_cast<HWND>(edit->Widget()), WM_KEYDOWN, 'S', data);
    bool after = false; // posted messages come in order: this runs after the key
    Application().Queue([&] { after = true; });
    EXPECT_TRUE(PumpUntil([&] { return after; }));
    EXPECT_EQ(saved, 2);

    // An item's image from the menu's image list.
    auto* images = new TImageList(form);
    TBitmap picture(16, 16);
    picture.Fill(TRgb{200, 30, 30});
    images->Add(picture, "red");
    menu->SetImages(images);
    save->SetImageName("red");
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_BITMAP;
    ASSERT_TRUE(GetMenuItemInfoW(GetSubMenu(bar, 0), 0, TRUE, &info));
    EXPECT_NE(info.hbmpItem, nullptr);

    // Alt and a button's access key click the button.
    auto* button = new TButton(form);
    button->SetParent(form);
    button->SetCaption("&Apply");
    int applied = 0;
    button->OnClick = [&](TObject*) { ++applied; };
    PostMessageW(static_cast<HWND>(edit->Widget()), WM_SYSKEYDOWN, 'A', (1 << 29) | (1 << 27) | 1);
    EXPECT_TRUE(PumpUntil([&] { return applied == 1; }));

    // A disabled item does not run.
    form->SetKeyPreview(false);
    save->SetEnabled(false);
    EXPECT_FALSE(menu->IsShortCut(ShortCut('S', ssCtrl)));
    EXPECT_EQ(saved, 2);
    delete form;
}

class TCountingForm : public TForm {
public:
    int Created = 0;

protected:
    void CreateWnd() override { ++Created; }
};

TEST_F(UiWin32, PasswordEditWindowRebuildAndCorners) {
    auto* form = new TCountingForm();
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    const std::string secret = "pa\xC3\x9F w\xC3\xB6rd \xE2\x82\xAC";
    edit->SetPasswordChar(U'*');
    edit->SetText(secret);
    EXPECT_EQ(edit->Text(), secret);
    EXPECT_EQ(SendMessageW(static_cast<HWND>(edit->Widget()), EM_GETPASSWORDCHAR, 0, 0), L'*');
    edit->SetPasswordChar(0);
    EXPECT_EQ(SendMessageW(static_cast<HWND>(edit->Widget()), EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(edit->Text(), secret);

    EXPECT_EQ(form->Created, 0) << "the window is created when first shown";
    form->Show();
    EXPECT_EQ(form->Created, 1);
    EXPECT_TRUE(form->HandleAllocated());

    // A drop shadow makes the window anew with its controls, and CreateWnd runs again.
    HWND before = static_cast<HWND>(form->NativeWindow());
    form->SetClientSize(280, 120);
    form->SetDropShadow(true);
    HWND after = static_cast<HWND>(form->NativeWindow());
    EXPECT_NE(after, before);
    EXPECT_FALSE(IsWindow(before));
    EXPECT_TRUE(GetClassLongPtrW(after, GCL_STYLE) & CS_DROPSHADOW);
    EXPECT_EQ(GetAncestor(static_cast<HWND>(edit->Widget()), GA_ROOT), after);
    EXPECT_TRUE(IsWindowVisible(after));
    EXPECT_EQ(form->ClientWidth(), 280);
    EXPECT_EQ(form->Created, 2);
    EXPECT_EQ(edit->Text(), secret);

    // Wine has no window-corner attribute: the call reports false.
    EXPECT_FALSE(form->SetWindowCornerPreference(2));
    EXPECT_FALSE(form->SetWindowCornerPreference(7));
    EXPECT_TRUE(form->SetWindowRoundRectRegion(0, 0, form->Width(), form->Height(), 16, 16));
    form->RecreateWnd();
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(static_cast<HWND>(form->NativeWindow()), region), COMPLEXREGION)
        << "a window made anew keeps the region";
    DeleteObject(region);
    delete form;
}

// Last: the application stays terminated.
TEST_F(UiWin32, WaitForChildThenMainFormCloseEndsRun) {
    // The wait hook handles messages while the child runs and returns its code.
    Norvane::Platform::ProcessStartInfo info;
    info.Arguments = Norvane::Platform::CommandInterpreterArguments("exit 3");
    auto child = Norvane::Platform::StartProcess(info);
    ASSERT_NE(child, nullptr);
    bool pieceRan = false;
    Application().Queue([&] { pieceRan = true; });
    EXPECT_EQ(Norvane::Platform::WaitForChildProcess(*child), 3);
    EXPECT_TRUE(pieceRan);

    bool queuedRan = false;
    Application().Queue([&] { queuedRan = true; });
    auto* form = Application().CreateForm<TForm>();
    form->SetCaption("Main");
    ASSERT_EQ(Application().MainForm(), form);
    Application().Queue([form] { form->Close(); });
    Application().Run();
    EXPECT_TRUE(Application().Terminated());
    EXPECT_TRUE(queuedRan);
    EXPECT_TRUE(Norvane::Platform::ApplicationTerminated());
}

} // namespace
