// The main loop: Run shows the main form and returns when it closes or the
// application is asked to terminate; modal loops end with it.
#include "UiTestSupport.h"

#include "platform/Ui.h"
#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"

#include <gtest/gtest.h>

#include <thread>

using namespace Norvane::Platform::Ui;
using namespace Norvane::Testing::Ui;

TEST(UiRun, RunEndsWhenTheMainFormClosesAndTerminateEndsModalLoops) {
    auto* main = Application().CreateForm<TForm>();
    main->SetCaption("main form");
    EXPECT_EQ(Application().MainForm(), main);
    TForm dialog;
    dialog.SetCaption("modal under terminate");
    TModalResult dialogResult = mrNone;
    bool closeAsked = false;
    main->OnClose = [&](TObject*, TCloseAction& Action) {
        closeAsked = true;
        EXPECT_EQ(Action, TCloseAction::caFree);
    };
    // Once the main form is up, open a modal dialog; a worker thread closes the
    // main window through the platform layer's terminate hook while it runs.
    std::thread worker;
    Application().Queue([&] {
        EXPECT_TRUE(main->Visible());
        When([&] { return dialog.IsModal(); },
             [&] {
                 worker = std::thread([] { Application().Queue([] { Application().MainForm()->Close(); }); });
             });
        dialogResult = dialog.ShowModal();
    });
    Application().Run();
    worker.join();
    EXPECT_TRUE(closeAsked);
    EXPECT_TRUE(Application().Terminated());
    EXPECT_TRUE(Norvane::Platform::ApplicationTerminated());
    EXPECT_EQ(dialogResult, mrCancel);
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(main->NativeWindow())));
    // After termination a modal loop does not block.
    TForm late;
    EXPECT_EQ(late.ShowModal(), mrCancel);
}
