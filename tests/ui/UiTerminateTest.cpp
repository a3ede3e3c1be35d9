// The platform layer's terminate hook, called from a worker thread, ends the
// main loop and the modal loop running in it.
#include "UiTestSupport.h"

#include "platform/Ui.h"
#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"

#include <gtest/gtest.h>

#include <thread>

using namespace Norvane::Platform::Ui;
using namespace Norvane::Testing::Ui;

TEST(UiTerminate, TerminateHookFromAWorkerEndsRunAndModalLoops) {
    auto* main = Application().CreateForm<TForm>();
    main->SetCaption("main form");
    TForm dialog;
    TModalResult dialogResult = mrNone;
    std::thread worker;
    Application().Queue([&] {
        When([&] { return dialog.IsModal(); },
             [&] { worker = std::thread([] { Norvane::Platform::TerminateApplication(); }); });
        dialogResult = dialog.ShowModal();
    });
    Application().Run();
    worker.join();
    EXPECT_TRUE(Application().Terminated());
    EXPECT_TRUE(Norvane::Platform::ApplicationTerminated());
    EXPECT_EQ(dialogResult, mrCancel);
    EXPECT_TRUE(main->Visible()); // not closed: only the loop ended
}
