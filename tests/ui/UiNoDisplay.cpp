// Controls made before the application object was initialised, in a process
// that has no display: each raises EUiError instead of calling into a toolkit
// that never started.
#include "platform/ui/Application.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using namespace Norvane::Platform::Ui;

class UiNoDisplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("GDK_BACKEND", "x11", 1);
    }
};

TEST_F(UiNoDisplay, EveryKindOfControlRaisesTheToolkitErrorAndTheApplicationStaysUninitialised) {
    EXPECT_THROW({ TForm form; }, EUiError);
    EXPECT_THROW({ TWinControl box; }, EUiError);
    EXPECT_THROW({ TEdit edit; }, EUiError);
    EXPECT_THROW({ TButton button; }, EUiError);
    EXPECT_THROW({ TLabel label; }, EUiError);
    EXPECT_THROW({ TProgressBar bar; }, EUiError);
    EXPECT_THROW({ TImage image; }, EUiError);
    EXPECT_FALSE(Application().Initialized());
    // A later explicit start reports the same reason.
    try {
        Application().Initialize();
        FAIL() << "Initialize succeeded without a display";
    } catch (const EUiError& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
    }
}

} // namespace
