// The application object: thread queue, error report at the toolkit's
// callback boundaries, the hooks of the platform layer, window captions.
#include "UiTestSupport.h"

#include "platform/ChildProcess.h"
#include "platform/Ui.h"
#include "platform/ui/Application.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <sys/resource.h>
#include <thread>

using namespace Norvane::Platform::Ui;
using namespace Norvane::Testing::Ui;

namespace {

// Collects what reaches the error report while alive.
struct TReportCatcher {
    std::vector<std::string> Messages;
    TReportCatcher() {
        Application().OnException = [this](const std::string& Message) { Messages.push_back(Message); };
    }
    ~TReportCatcher() { Application().OnException = nullptr; }
};

} // namespace

TEST(UiApplication, QueueFromWorkerThreadsRunsOnTheUiThreadInOrder) {
    ASSERT_TRUE(Application().IsUiThread());
    std::vector<int> order;
    std::vector<bool> onUiThread;
    std::thread worker([&] {
        EXPECT_FALSE(Application().IsUiThread());
        for (int i = 0; i < 50; ++i)
            Application().RunOnUiThread([&, i] {
                order.push_back(i);
                onUiThread.push_back(Application().IsUiThread());
            });
    });
    worker.join();
    // Queued, not run on the worker.
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(WaitFor([&] { return order.size() == 50; }));
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(std::all_of(onUiThread.begin(), onUiThread.end(), [](bool b) { return b; }));
}

TEST(UiApplication, RunOnUiThreadRunsAtOnceOnTheUiThreadAndQueueDoesNot) {
    bool ran = false;
    Application().RunOnUiThread([&] { ran = true; });
    EXPECT_TRUE(ran);
    bool queued = false;
    Application().Queue([&] { queued = true; });
    EXPECT_FALSE(queued);
    Application().ProcessMessages();
    EXPECT_TRUE(queued);
}

TEST(UiApplication, SynchronizeWaitsForThePieceAndRaisesItsErrorInTheCaller) {
    std::atomic<bool> done{false};
    std::string caught;
    int value = 0;
    std::thread worker([&] {
        Application().Synchronize([&] { value = 42; });
        try {
            Application().Synchronize([] { throw std::runtime_error("from the UI thread"); });
        } catch (const std::exception& e) {
            caught = e.what();
        }
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(value, 42);
    EXPECT_EQ(caught, "from the UI thread");
}

TEST(UiApplication, AnExceptionInAQueuedPieceReachesTheReportAndTheLoopGoesOn) {
    TReportCatcher catcher;
    bool after = false;
    std::thread worker([&] {
        Application().RunOnUiThread([] { throw std::runtime_error("queued piece failed"); });
        Application().RunOnUiThread([&] { after = true; });
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return after; }));
    ASSERT_EQ(catcher.Messages.size(), 1u);
    EXPECT_EQ(catcher.Messages[0], "queued piece failed");
}

TEST(UiApplication, AnExceptionInAnEventHandlerIsShownInAMessageBoxAndTheLoopGoesOn) {
    ASSERT_FALSE(Application().OnException);
    TForm form;
    form.SetCaption("error report");
    auto* button = new TButton(&form);
    button->SetParent(&form);
    button->SetCaption("Fail");
    button->SetBounds(10, 10, 120, 34);
    int clicks = 0;
    button->OnClick = [&](TObject*) {
        ++clicks;
        throw std::runtime_error("Handler failed: disk full");
    };
    form.Show();
    PresentAndWait(form.NativeWindow());
    std::string shown;
    bool timedOut = false;
    // The box runs its own loop; answer it from there.
    When([] { return !ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).empty(); },
         [&] {
             GtkWindow* box = ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).front();
             shown = MessageDialogText(box);
             gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
         },
         8000, &timedOut);
    // A real click on the button: the handler runs inside the toolkit's
    // signal emission, the exception must not unwind through it.
    ClickWidget(GTK_WIDGET(button->Widget()));
    ASSERT_TRUE(WaitFor([&] { return !shown.empty() || timedOut; }));
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(shown, "Handler failed: disk full");
    EXPECT_EQ(clicks, 1);
    // The application goes on: the button works again.
    TReportCatcher catcher;
    ClickWidget(GTK_WIDGET(button->Widget()));
    EXPECT_TRUE(WaitFor([&] { return clicks == 2 && catcher.Messages.size() == 1; }));
}

TEST(UiApplication, ExceptionsInResizeAndCloseHandlersAreReported) {
    TReportCatcher catcher;
    TForm form;
    form.OnCloseQuery = [](TObject*, bool&) { throw std::runtime_error("close query failed"); };
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return HasProperty(XidOf(form.NativeWindow()), "_NET_FRAME_EXTENTS"); }));
    SendCloseRequest(XidOf(form.NativeWindow()));
    ASSERT_TRUE(WaitFor([&] { return !catcher.Messages.empty(); }));
    EXPECT_EQ(catcher.Messages[0], "close query failed");
    EXPECT_TRUE(form.Visible());
}

TEST(UiApplication, PlatformHooksReachTheToolkit) {
    // Message box of the platform layer: a real dialog with the caption and text.
    std::string title, text;
    When([] { return !ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).empty(); },
         [&] {
             GtkWindow* box = ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).front();
             title = gtk_window_get_title(box);
             text = MessageDialogText(box);
             GtkWidget* no = FindButton(GTK_WIDGET(box), "No");
             ASSERT_NE(no, nullptr);
             gtk_button_clicked(GTK_BUTTON(no));
         });
    auto result = Norvane::Platform::ShowMessageBox("Overwrite the file?", "Question box",
                                                    Norvane::Platform::MessageBoxIcon::Question,
                                                    Norvane::Platform::MessageBoxButtons::YesNo);
    EXPECT_EQ(result, Norvane::Platform::MessageBoxResult::No);
    EXPECT_EQ(title, "Question box");
    EXPECT_EQ(text, "Overwrite the file?");

    // Pending events are dispatched by the platform layer's pump.
    bool queued = false;
    Application().Queue([&] { queued = true; });
    Norvane::Platform::ProcessMessages();
    EXPECT_TRUE(queued);
    EXPECT_FALSE(Norvane::Platform::ApplicationTerminated());
}

TEST(UiApplication, WaitingForAChildProcessBlocksInTheLoopAndStillRunsQueuedPieces) {
    namespace Platform = Norvane::Platform;
    Platform::ProcessStartInfo info;
    info.Arguments = {"/bin/sh", "-c", "sleep 1.5; exit 4"};
    auto child = Platform::StartProcess(info);
    ASSERT_TRUE(child);
    bool waitEnded = false;
    bool ranDuringTheWait = false;
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Application().Queue([&] { ranDuringTheWait = !waitEnded; });
    });
    auto cpuSeconds = [] {
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
        return seconds(usage.ru_utime) + seconds(usage.ru_stime);
    };
    auto started = std::chrono::steady_clock::now();
    double cpuBefore = cpuSeconds();
    int code = Platform::WaitForChildProcess(*child);
    waitEnded = true;
    double cpu = cpuSeconds() - cpuBefore;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    worker.join();
    EXPECT_EQ(code, 4);
    EXPECT_TRUE(ranDuringTheWait);
    EXPECT_LT(cpu, wall / 2) << cpu << " s of processor time in " << wall << " s";
}

TEST(UiApplication, WindowCaptionsListTheDisplaysWindowsFrontFirst) {
    TForm back, front;
    back.SetCaption("Caption probe back");
    front.SetCaption("Caption probe front");
    back.Show();
    PresentAndWait(back.NativeWindow());
    front.Show();
    PresentAndWait(front.NativeWindow());
    auto indexOf = [](const std::vector<std::string>& List, const std::string& Item) {
        return std::find(List.begin(), List.end(), Item) - List.begin();
    };
    std::vector<std::string> captions;
    ASSERT_TRUE(WaitFor([&] {
        captions = GetTopLevelWindowCaptions();
        return indexOf(captions, "Caption probe front") < indexOf(captions, "Caption probe back") &&
               indexOf(captions, "Caption probe back") < static_cast<long>(captions.size());
    })) << testing::PrintToString(captions);
    PresentAndWait(back.NativeWindow());
    EXPECT_TRUE(WaitFor([&] {
        captions = GetTopLevelWindowCaptions();
        return indexOf(captions, "Caption probe back") < indexOf(captions, "Caption probe front");
    })) << testing::PrintToString(captions);
    for (const auto& c : captions)
        EXPECT_NE(c.find_first_not_of(" \t"), std::string::npos);
}

TEST(UiApplication, KeyPressTextWidthAndFileIconHooks) {
    TForm form;
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(10, 10, 200, 30);
    form.Show();
    PresentAndWait(form.NativeWindow());
    edit->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return edit->Focused(); }));
    EXPECT_TRUE(Norvane::Platform::SynthesizeKeyPress('K'));
    EXPECT_TRUE(Norvane::Platform::SynthesizeKeyPress('7'));
    EXPECT_TRUE(WaitFor([&] { return edit->Text() == "k7"; })) << edit->Text();

    int wide = Norvane::Platform::MeasureTextWidth("Sans", 12, false, false, "WWWWWWWW");
    int narrow = Norvane::Platform::MeasureTextWidth("Sans", 12, false, false, "iiiiiiii");
    int large = Norvane::Platform::MeasureTextWidth("Sans", 24, false, false, "WWWWWWWW");
    EXPECT_GT(wide, narrow);
    EXPECT_GT(large, wide * 3 / 2);
    EXPECT_EQ(Norvane::Platform::MeasureTextWidth("Sans", 12, true, false, ""), 0);

    Norvane::Testing::TempDir dir;
    Norvane::Testing::WriteFile(dir / "notes.txt", "text");
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
    ASSERT_TRUE(Norvane::Platform::ExtractFileIcon(dir / "notes.txt", width, height, pixels));
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 32);
    ASSERT_EQ(pixels.size(), 32u * 32u * 4u);
    EXPECT_TRUE(std::any_of(pixels.begin(), pixels.end(), [](std::uint8_t b) { return b != 0; }));
    EXPECT_FALSE(Norvane::Platform::ExtractFileIcon(dir / "missing.txt", width, height, pixels));

    // Window captions through the platform layer.
    form.SetCaption("Hook caption probe");
    auto captions = Norvane::Platform::TopLevelWindowCaptions();
    EXPECT_TRUE(WaitFor([&] {
        captions = Norvane::Platform::TopLevelWindowCaptions();
        return std::find(captions.begin(), captions.end(), "Hook caption probe") != captions.end();
    }));
}
