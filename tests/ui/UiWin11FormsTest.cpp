// Rounded window corners: the corner value for each choice and unit default,
// applied to the native window when it is created, when the choice changes,
// and again when the window is re-created.
#include "UiTestSupport.h"

#include "win11forms/Win11Forms.h"

#include <gtest/gtest.h>

using namespace Kestrin::Win11Forms;
using namespace Norvane::Testing::Ui;

namespace {

long CornerProperty(Kestrin::Win11Forms::TForm& Form) {
    auto values = CardinalProperty(XidOf(Form.NativeWindow()), "_NORVANE_WINDOW_CORNER_PREFERENCE");
    return values.size() == 1 ? values[0] : -1;
}

// Restores the unit default after a test that changes it.
struct TDefaultGuard {
    TRoundedCornerType Saved = DefaultRoundedCorners;
    ~TDefaultGuard() { DefaultRoundedCorners = Saved; }
};

} // namespace

TEST(UiWin11Forms, UnitDefaultIsRoundAndFormsStartWithTheDefaultChoice) {
    EXPECT_EQ(DefaultRoundedCorners, TRoundedCornerType::rcOn);
    Kestrin::Win11Forms::TForm form;
    EXPECT_EQ(form.RoundedCorners(), TRoundedCornerType::rcDefault);
}

TEST(UiWin11Forms, CornerValueForEveryChoiceAndDefault) {
    using T = TRoundedCornerType;
    // Explicit choices ignore the default.
    for (T d : {T::rcDefault, T::rcOff, T::rcOn, T::rcSmall}) {
        EXPECT_EQ(CornerPreferenceValue(T::rcOff, d), 1);
        EXPECT_EQ(CornerPreferenceValue(T::rcOn, d), 2);
        EXPECT_EQ(CornerPreferenceValue(T::rcSmall, d), 3);
    }
    // rcDefault follows the default by the same rows, 0 when it is rcDefault too.
    EXPECT_EQ(CornerPreferenceValue(T::rcDefault, T::rcOff), 1);
    EXPECT_EQ(CornerPreferenceValue(T::rcDefault, T::rcOn), 2);
    EXPECT_EQ(CornerPreferenceValue(T::rcDefault, T::rcSmall), 3);
    EXPECT_EQ(CornerPreferenceValue(T::rcDefault, T::rcDefault), 0);
}

TEST(UiWin11Forms, SmallCornersWinOverTheRoundDefault) {
    Kestrin::Win11Forms::TForm form;
    form.SetRoundedCorners(TRoundedCornerType::rcSmall);
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return form.HandleAllocated(); }));
    EXPECT_EQ(form.LastCornerPreference(), 3);
    EXPECT_EQ(CornerProperty(form), 3);
}

TEST(UiWin11Forms, SettingBeforeTheHandleExistsAppliesOnCreation) {
    Kestrin::Win11Forms::TForm form;
    form.SetRoundedCorners(TRoundedCornerType::rcOff);
    EXPECT_FALSE(form.HandleAllocated());
    EXPECT_EQ(form.CornerApplications(), 0);
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return form.HandleAllocated(); }));
    EXPECT_EQ(form.CornerApplications(), 1);
    EXPECT_EQ(CornerProperty(form), 1);
    // Changed while the window exists: applied at once.
    form.SetRoundedCorners(TRoundedCornerType::rcOn);
    EXPECT_EQ(form.CornerApplications(), 2);
    EXPECT_EQ(CornerProperty(form), 2);
}

TEST(UiWin11Forms, TheDefaultChoiceFollowsTheUnitDefault) {
    TDefaultGuard guard;
    DefaultRoundedCorners = TRoundedCornerType::rcDefault;
    Kestrin::Win11Forms::TForm form;
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return form.HandleAllocated(); }));
    EXPECT_EQ(CornerProperty(form), 0);
}

TEST(UiWin11Forms, ReCreatedWindowGetsThePreferenceAgain) {
    Kestrin::Win11Forms::TForm form;
    form.SetRoundedCorners(TRoundedCornerType::rcSmall);
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return HasProperty(XidOf(form.NativeWindow()), "_NET_FRAME_EXTENTS"); }));
    unsigned long first = XidOf(form.NativeWindow());
    int applied = form.CornerApplications();
    form.RecreateWnd();
    unsigned long second = XidOf(form.NativeWindow());
    ASSERT_NE(second, first);
    EXPECT_EQ(form.CornerApplications(), applied + 1);
    EXPECT_EQ(CornerProperty(form), 3);
    EXPECT_TRUE(WaitFor([&] { return WindowViewable(second); }));
}

TEST(UiWin11Forms, EmbeddedFormsAskForNothing) {
    Kestrin::Win11Forms::TForm host;
    Kestrin::Win11Forms::TForm child;
    child.SetParent(&host);
    child.Show();
    host.Show();
    ASSERT_TRUE(WaitFor([&] { return host.HandleAllocated(); }));
    child.SetRoundedCorners(TRoundedCornerType::rcOff);
    EXPECT_EQ(child.CornerApplications(), 0);
    EXPECT_EQ(CornerProperty(host), 2);
}
