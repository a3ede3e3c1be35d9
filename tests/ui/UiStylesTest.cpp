// The style engine's hook points: registered styles, the active one applied
// to every window, "Windows" as the system look, pop-up menus kept out.
#include "UiTestSupport.h"

#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Styles.h"

#include <gtest/gtest.h>

using namespace Norvane::Platform::Ui;
using namespace Norvane::Testing::Ui;

namespace {

class TColourStyle : public TCustomStyle {
public:
    TColourStyle(std::string AName, std::string AColour)
        : FName(std::move(AName)), FColour(std::move(AColour)) {}
    std::string Name() const override { return FName; }
    std::string StyleSheet() const override {
        return "window, window.background { background-color: " + FColour + "; }";
    }
    std::string MenuStyleSheet() const override { return "menu { background-color: " + FColour + "; }"; }

private:
    std::string FName, FColour;
};

} // namespace

TEST(UiStyles, RegisteredStylesCaseInsensitiveNamesAndTheSystemLook) {
    TStyleManager::UnregisterAll();
    TStyleManager::Register(std::make_shared<TColourStyle>("Carbon", "#ff0000"));
    TStyleManager::Register(std::make_shared<TColourStyle>("Windows10", "#00ff00"));
    EXPECT_EQ(TStyleManager::StyleNames(), (std::vector<std::string>{"Windows", "Carbon", "Windows10"}));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Windows");
    EXPECT_TRUE(TStyleManager::TrySetStyle("carbon"));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Carbon");
    EXPECT_FALSE(TStyleManager::TrySetStyle("Nonexistent"));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Carbon");
    EXPECT_TRUE(TStyleManager::TrySetStyle("Windows10"));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Windows10");
    // "windows" in any case is the system look, not "Windows10".
    EXPECT_TRUE(TStyleManager::TrySetStyle("windows"));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Windows");
    EXPECT_TRUE(TStyleManager::ActiveStyleSheet().empty());
    // A style of the same name replaces the earlier one.
    TStyleManager::Register(std::make_shared<TColourStyle>("CARBON", "#0000ff"));
    EXPECT_EQ(TStyleManager::StyleNames().size(), 3u);
    EXPECT_TRUE(TStyleManager::Exists("Carbon"));
    TStyleManager::UnregisterAll();
}

TEST(UiStyles, TheActiveStyleRepaintsShownWindowsAndMenusCanBeLeftOut) {
    TStyleManager::UnregisterAll();
    TStyleManager::Register(std::make_shared<TColourStyle>("Ruby", "#c80000"));
    TForm form;
    form.SetBorderStyle(TBorderStyle::bsNone);
    form.SetPosition(TPosition::poDesigned);
    form.SetBounds(500, 100, 100, 100);
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return HasProperty(XidOf(form.NativeWindow()), "_NET_FRAME_EXTENTS"); }));
    TGeometry g = ClientGeometry(XidOf(form.NativeWindow()));
    TPixel before = ScreenPixel(g.X + 50, g.Y + 50);
    EXPECT_NE(before.R, 0xC8);
    ASSERT_TRUE(TStyleManager::TrySetStyle("Ruby"));
    TPixel styled = ScreenPixel(g.X + 50, g.Y + 50);
    EXPECT_EQ(styled.R, 0xC8);
    EXPECT_EQ(styled.G, 0);
    EXPECT_NE(TStyleManager::ActiveStyleSheet().find("menu"), std::string::npos);
    TStyleManager::SetSystemHooks(TStyleManager::SystemHooks() & ~shMenus);
    EXPECT_EQ(TStyleManager::ActiveStyleSheet().find("menu"), std::string::npos);
    EXPECT_FALSE(TStyleManager::SystemHooks() & shMenus);
    EXPECT_TRUE(TStyleManager::SystemHooks() & shDialogs);
    ASSERT_TRUE(TStyleManager::TrySetStyle("Windows"));
    TPixel plain = ScreenPixel(g.X + 50, g.Y + 50);
    EXPECT_EQ(plain.R, before.R);
    EXPECT_EQ(plain.G, before.G);
    TStyleManager::UnregisterAll();
}
