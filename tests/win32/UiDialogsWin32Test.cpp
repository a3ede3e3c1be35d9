// The Win32 dialogs, canvas, pictures and styles under wine: the message
// dialog's buttons answered through the native windows, drawing read back
// from the bitmap, PNG bytes that decode again, a file dialog cancelled while
// it runs, and a style switch changing the colours.
#include "platform/Images.h"
#include "platform/ui/Application.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Styles.h"
#include "platform/win32/ui/Win32Graphics.h"

#include <gtest/gtest.h>

#include <shobjidl.h>
// The framework's MessageBox, not the system's macro.
#undef MessageBox

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>

using namespace Norvane::Platform;
using namespace Norvane::Platform::Ui;

namespace {

class UiDialogsWin32 : public ::testing::Test {
protected:
    void SetUp() override { Application().Initialize(); }
};

// Watches from the UI thread every 20 ms while it lives (a thread timer,
// which every message loop dispatches, the system's dialogs' loops too): once
// Ready holds, Act runs once; after 15 s without Act having run, GiveUp runs
// so that a modal loop never hangs the test.
class TWatch {
public:
    TWatch(std::function<bool()> Ready, std::function<void()> Act, std::function<void()> GiveUp)
        : FReady(std::move(Ready)), FAct(std::move(Act)), FGiveUp(std::move(GiveUp)),
          FDeadline(std::chrono::steady_clock::now() + std::chrono::seconds(15)) {
        FId = ::SetTimer(nullptr, 0, 20, OnTimer);
        Watches()[FId] = this;
    }
    ~TWatch() {
        ::KillTimer(nullptr, FId);
        Watches().erase(FId);
    }
    TWatch(const TWatch&) = delete;
    TWatch& operator=(const TWatch&) = delete;

private:
    static std::map<UINT_PTR, TWatch*>& Watches() {
        static std::map<UINT_PTR, TWatch*> watches;
        return watches;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR Id, DWORD) {
        auto it = Watches().find(Id);
        if (it == Watches().end() || it->second->FDone)
            return;
        TWatch& watch = *it->second;
        if (watch.FReady()) {
            watch.FDone = true;
            watch.FAct();
        } else if (std::chrono::steady_clock::now() > watch.FDeadline) {
            watch.FDone = true;
            ADD_FAILURE() << "the awaited state never came";
            watch.FGiveUp();
        }
    }
    std::function<bool()> FReady;
    std::function<void()> FAct, FGiveUp;
    std::chrono::steady_clock::time_point FDeadline;
    UINT_PTR FId = 0;
    bool FDone = false;
};

std::vector<TButton*> ButtonsOf(TForm* Form) {
    std::vector<TButton*> buttons;
    for (int i = 0; i < Form->ControlCount(); ++i)
        if (auto* button = dynamic_cast<TButton*>(Form->Controls(i)))
            buttons.push_back(button);
    return buttons;
}

bool Shown(TForm* Form) {
    return Form->NativeWindow() && ::IsWindowVisible(static_cast<HWND>(Form->NativeWindow()));
}

// A key press as the system delivers it, to the window with the focus.
void PressKey(WORD Key) {
    HWND focus = ::GetFocus();
    ::PostMessageW(focus, WM_KEYDOWN, Key, 1);
    ::PostMessageW(focus, WM_KEYUP, Key, static_cast<LPARAM>(0xC0000001u));
}

// The running file dialog's window, or null before it shows.
HWND FileDialogWindow() {
    HWND hwnd = nullptr;
    if (TCustomFileDialog* running = RunningFileDialog()) {
        auto* native = static_cast<IFileDialog*>(running->NativeDialog());
        IOleWindow* ole = nullptr;
        if (native && SUCCEEDED(native->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&ole)))) {
            ole->GetWindow(&hwnd);
            ole->Release();
        }
    }
    return hwnd && ::IsWindowVisible(hwnd) ? hwnd : nullptr;
}

} // namespace

TEST_F(UiDialogsWin32, MessageDialogButtonsAnswerWithTheirModalResults) {
    TForm* dialog = CreateMessageDialog("Save the changes?", TMsgDlgType::mtConfirmation,
                                        {TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo});
    ASSERT_GE(dialog->ControlCount(), 5);
    // The icon comes first and shows the system's picture (not a blank one).
    auto* icon = dynamic_cast<TImage*>(dialog->Controls(0));
    ASSERT_NE(icon, nullptr);
    int opaque = 0;
    for (std::size_t i = 3; i < icon->Picture().Pixels().size(); i += 4)
        opaque += icon->Picture().Pixels()[i] == 255;
    EXPECT_GT(opaque, 50);
    ASSERT_NE(dynamic_cast<TLabel*>(dialog->Controls(1)), nullptr);
    EXPECT_EQ(dynamic_cast<TLabel*>(dialog->Controls(1))->Caption(), "Save the changes?");
    auto buttons = ButtonsOf(dialog);
    ASSERT_EQ(buttons.size(), 3u);
    // The fixed order, whatever the order asked for; Yes is the default, Cancel the cancel button.
    EXPECT_EQ(buttons[0]->ModalResult(), mrYes);
    EXPECT_EQ(buttons[1]->ModalResult(), mrNo);
    EXPECT_EQ(buttons[2]->ModalResult(), mrCancel);
    EXPECT_TRUE(buttons[0]->Default());
    EXPECT_TRUE(buttons[2]->Cancel());
    // The buttons sit inside the client area, side by side.
    EXPECT_LE(buttons[2]->Left() + buttons[2]->Width(), dialog->ClientWidth());
    EXPECT_LT(buttons[0]->Left() + buttons[0]->Width(), buttons[1]->Left() + 1);

    auto giveUp = [&] { dialog->SetModalResult(mrAbort); };
    auto focused = [&] { return Shown(dialog) && ::GetFocus(); };
    {
        // A click on the native No button ends the loop with mrNo.
        TWatch watch([&] { return Shown(dialog); },
                     [&] { ::PostMessageW(static_cast<HWND>(buttons[1]->Widget()), BM_CLICK, 0, 0); },
                     giveUp);
        EXPECT_EQ(dialog->ShowModal(), mrNo);
    }
    {
        // Escape presses the cancel button, wherever the focus is.
        TWatch watch(
            focused, [] { PressKey(VK_ESCAPE); }, giveUp);
        EXPECT_EQ(dialog->ShowModal(), mrCancel);
    }
    {
        // Enter presses the focused button (the default one at first).
        TForm* fresh =
            CreateMessageDialog("Again?", TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo});
        TWatch watch([&] { return Shown(fresh) && ::GetFocus(); }, [] { PressKey(VK_RETURN); },
                     [&] { fresh->SetModalResult(mrAbort); });
        EXPECT_EQ(fresh->ShowModal(), mrYes);
        delete fresh;
    }
    {
        TWatch watch(
            focused, [] { PressKey(VK_RETURN); }, giveUp);
        EXPECT_EQ(dialog->ShowModal(), mrNo); // the focus stayed on No since its click
    }
    delete dialog;
}

TEST_F(UiDialogsWin32, MessageDialogWithoutCancelButtonAnswersEscapeWithCancel) {
    TForm* dialog = CreateMessageDialog("The copy failed.", TMsgDlgType::mtError,
                                        {TMsgDlgBtn::mbAbort, TMsgDlgBtn::mbRetry, TMsgDlgBtn::mbIgnore});
    auto buttons = ButtonsOf(dialog);
    ASSERT_EQ(buttons.size(), 3u);
    EXPECT_EQ(buttons[1]->ModalResult(), mrRetry);
    EXPECT_TRUE(buttons[0]->Default()); // no OK or Yes: the first
    for (TButton* b : buttons)
        EXPECT_FALSE(b->Cancel());
    TWatch watch([&] { return Shown(dialog) && ::GetFocus(); }, [] { PressKey(VK_ESCAPE); },
                 [&] { dialog->SetModalResult(mrAbort); });
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    delete dialog;
}

TEST_F(UiDialogsWin32, MessageBoxAnswersAndItsCloseBox) {
    // The system's box, found by its title; WM_CLOSE stands for the close box.
    auto answer = [](const wchar_t* Title, UINT Message, WPARAM Command) {
        return std::make_unique<TWatch>(
            [Title] { return ::FindWindowW(L"#32770", Title) != nullptr; },
            [=] { ::PostMessageW(::FindWindowW(L"#32770", Title), Message, Command, 0); },
            [] { ::PostMessageW(::FindWindowW(L"#32770", nullptr), WM_CLOSE, 0, 0); });
    };
    {
        auto watch = answer(L"Question", WM_COMMAND, IDNO);
        EXPECT_EQ(MessageBox("Keep it?", "Question", TMessageBoxIcon::Question, TMessageBoxKind::YesNo),
                  mrNo);
    }
    {
        auto watch = answer(L"Three ways", WM_CLOSE, 0);
        EXPECT_EQ(MessageBox("Save?", "Three ways", TMessageBoxIcon::Warning, TMessageBoxKind::YesNoCancel),
                  mrCancel);
    }
    {
        auto watch = answer(L"Just so", WM_CLOSE, 0);
        EXPECT_EQ(MessageBox("Done.", "Just so", TMessageBoxIcon::Information), mrOk);
    }
}

TEST_F(UiDialogsWin32, CanvasDrawingLandsInTheBitmap) {
    const TRgb red{200, 0, 0}, green{0, 160, 0}, blue{0, 0, 220}, back{10, 20, 30};
    TBitmap bitmap(80, 40);
    bitmap.Fill(back, 128);
    {
        TCanvas canvas(bitmap);
        canvas.FillRect({0, 0, 10, 10}, red);
        canvas.RoundRect({20, 0, 40, 20}, 4, green, blue);
        canvas.FillGradient({0, 30, 10, 40}, TRgb{0, 0, 0}, TRgb{255, 255, 255});
        canvas.Line(50, 5, 70, 5, red, 3);
        canvas.TextRect({44, 14, 80, 40}, "WWW", blue, TTextAlign::taLeft, true);
    }
    auto at = [&](int x, int y) {
        const std::uint8_t* p = bitmap.Pixel(x, y);
        return std::make_pair(TRgb{p[0], p[1], p[2]}, p[3]);
    };
    EXPECT_EQ(at(5, 5), std::make_pair(red, std::uint8_t{255}));
    EXPECT_EQ(at(30, 10), std::make_pair(green, std::uint8_t{255}));
    EXPECT_EQ(at(20, 10), std::make_pair(blue, std::uint8_t{255})); // the border on the left edge
    EXPECT_EQ(at(60, 5), std::make_pair(red, std::uint8_t{255}));
    EXPECT_EQ(at(60, 9).second, 128); // below the line: untouched
    // Untouched pixels keep their colour and their alpha.
    EXPECT_EQ(at(15, 25), std::make_pair(back, std::uint8_t{128}));
    // The gradient runs from the first colour at the top to the second at the bottom.
    EXPECT_EQ(at(5, 30).first, (TRgb{0, 0, 0}));
    EXPECT_EQ(at(5, 39).first, (TRgb{255, 255, 255}));
    // The text: blue ink (also smoothed edges keep its hue) inside its rectangle only.
    int ink = 0;
    for (int y = 14; y < 40; ++y)
        for (int x = 44; x < 80; ++x)
            if (at(x, y).first != back) {
                ++ink;
                EXPECT_GE(at(x, y).first.B, at(x, y).first.R);
            }
    EXPECT_GT(ink, 10);
    for (int x = 44; x < 80; ++x)
        EXPECT_EQ(at(x, 12).first, back);
}

TEST_F(UiDialogsWin32, EncodedPngDecodesToTheSamePixels) {
    TBitmap bitmap(3, 2);
    const std::uint8_t pixels[] = {255, 0,  0,  255, 0,  255, 0,  128, 0,  0,  255, 0,
                                   10,  20, 30, 255, 40, 50,  60, 1,   90, 80, 70,  200};
    bitmap.Pixels().assign(std::begin(pixels), std::end(pixels));
    std::string png = bitmap.EncodePng();
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // Straight alpha survives the round trip unchanged.
    TBitmap back = TBitmap::FromEncoded(png);
    ASSERT_EQ(back.Width(), 3);
    ASSERT_EQ(back.Height(), 2);
    EXPECT_EQ(back.Pixels(), bitmap.Pixels());
    // The imaging helpers of the platform layer read it too.
    std::string icon;
    ASSERT_TRUE(ImageToPng(png, 16, icon));
    EXPECT_EQ(TBitmap::FromEncoded(icon).Width(), 16);
    EXPECT_EQ(bitmap.Scaled(6, 4).Height(), 4);
    EXPECT_THROW(TBitmap::FromEncoded("not a picture"), EUiError);
    EXPECT_THROW(TBitmap().EncodePng(), EUiError);
}

TEST_F(UiDialogsWin32, FileDialogClosedWhileRunningAnswersFalse) {
    TFileOpenDialog dialog;
    dialog.SetTitle("Pick a file");
    dialog.SetFileName("C:\\windows\\win.ini");
    dialog.FileTypes() = {{"Settings", "*.ini"}, {"All files", "*.*"}};
    std::wstring title;
    auto window = FileDialogWindow;
    auto close = [] {
        if (TCustomFileDialog* running = RunningFileDialog())
            static_cast<IFileDialog*>(running->NativeDialog())->Close(HRESULT_FROM_WIN32(ERROR_CANCELLED));
    };
    TWatch watch([&] { return window() != nullptr; },
                 [&] {
                     EXPECT_EQ(RunningFileDialog(), &dialog);
                     EXPECT_TRUE(dialog.Executing());
                     wchar_t text[128] = {};
                     ::GetWindowTextW(window(), text, 128);
                     title = text;
                     // The page's requests come through the queue while the dialog runs.
                     Application().Queue(close);
                 },
                 close);
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(title, L"Pick a file");
    EXPECT_FALSE(dialog.Executing());
    EXPECT_EQ(RunningFileDialog(), nullptr);
    EXPECT_EQ(dialog.FileName(), "C:\\windows\\win.ini");
}

TEST_F(UiDialogsWin32, FileDialogsGiveTheChosenFilesWithTheDefaultExtension) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "norvane-dialogs";
    std::filesystem::create_directories(dir);
    for (const char* name : {"a.txt", "b.txt"})
        std::ofstream(dir / name) << "x";
    auto confirm = [] {
        return std::make_unique<TWatch>(
            [] { return FileDialogWindow() != nullptr; },
            [] { ::PostMessageW(FileDialogWindow(), WM_COMMAND, IDOK, 0); },
            [] {
                if (TCustomFileDialog* running = RunningFileDialog())
                    static_cast<IFileDialog*>(running->NativeDialog())->Close(E_ABORT);
            });
    };
    TFileSaveDialog save;
    save.SetDefaultExtension("txt");
    save.SetFileName((dir / "report").string());
    {
        auto watch = confirm();
        ASSERT_TRUE(save.Execute());
    }
    EXPECT_EQ(save.FileName(), (dir / "report.txt").string());
    EXPECT_EQ(save.Files(), std::vector<std::string>{save.FileName()});

    TFileOpenDialog open;
    open.SetOptions(fdoAllowMultiSelect);
    open.SetFileName((dir / "\"a.txt\" \"b.txt\"").string());
    {
        auto watch = confirm();
        ASSERT_TRUE(open.Execute());
    }
    EXPECT_EQ(open.Files(), (std::vector<std::string>{(dir / "a.txt").string(), (dir / "b.txt").string()}));
    EXPECT_EQ(open.FileName(), (dir / "a.txt").string());
    std::filesystem::remove_all(dir);
}

TEST_F(UiDialogsWin32, StyleSwitchChangesTheSystemColours) {
    struct TDarkStyle : TCustomStyle {
        std::string Name() const override { return "Test Dark"; }
        std::string StyleSheet() const override { return {}; }
        bool SystemColor(unsigned Index, TRgb& Rgb) const override {
            if (Index != (clBtnFace & 0xFF))
                return false;
            Rgb = TRgb{30, 31, 32};
            return true;
        }
    };
    const TRgb system = PlainColorToRgb(::GetSysColor(COLOR_BTNFACE));
    const TRgb window = PlainColorToRgb(::GetSysColor(COLOR_WINDOW));
    TStyleManager::Register(std::make_shared<TDarkStyle>());
    TForm form;
    form.SetColor(clBtnFace);
    form.Show();
    auto painted = [&] {
        Application().ProcessMessages();
        HWND box = static_cast<HWND>(form.Handle());
        ::UpdateWindow(box);
        HDC dc = ::GetDC(box);
        const COLORREF pixel = ::GetPixel(dc, 5, 5);
        ::ReleaseDC(box, dc);
        return PlainColorToRgb(pixel);
    };
    EXPECT_EQ(ColorToRgb(clBtnFace), system);
    EXPECT_EQ(painted(), system);
    ASSERT_TRUE(TStyleManager::TrySetStyle("test dark"));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Test Dark");
    EXPECT_EQ(ColorToRgb(clBtnFace), (TRgb{30, 31, 32}));
    EXPECT_EQ(ColorToRgb(clWindow), window); // left to the system
    // The shown form paints its background in the style's colour.
    EXPECT_EQ(painted(), (TRgb{30, 31, 32}));
    EXPECT_FALSE(TStyleManager::TrySetStyle("No such style"));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Test Dark");
    ASSERT_TRUE(TStyleManager::TrySetStyle("Windows"));
    EXPECT_EQ(ColorToRgb(clBtnFace), system);
    TStyleManager::UnregisterAll();
}
