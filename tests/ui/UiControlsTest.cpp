// Controls: the windowed-control hosting contract, focus and tab order, key
// translation both ways, the edit, progress bar, activity indicator, image
// control, and pictures decoded from files of the common formats.
#include "UiTestSupport.h"

#include "platform/ui/Application.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ImageList.h"
#include "tests/support/TestSupport.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace Norvane::Platform::Ui;
using namespace Norvane::Testing::Ui;
using Norvane::Testing::ReadFile;
using Norvane::Testing::RunCommand;
using Norvane::Testing::ShellQuote;
using Norvane::Testing::TempDir;

namespace {

class THost : public TWinControl {
public:
    using TWinControl::TWinControl;
    int Resizes = 0, VisibleChanges = 0, Enters = 0, Exits = 0;
    std::vector<unsigned> Commands;
    void SysCommand(unsigned Command) override { Commands.push_back(Command); }
    void DoEnter() override {
        ++Enters;
        TWinControl::DoEnter();
    }
    void DoExit() override {
        ++Exits;
        TWinControl::DoExit();
    }

protected:
    void Resize() override {
        ++Resizes;
        TWinControl::Resize();
    }
    void VisibleChanged() override { ++VisibleChanges; }
};

void ShowAndFocus(TForm& Form) {
    Form.Show();
    PresentAndWait(Form.NativeWindow());
}

// A picture made by ImageMagick in the given format: left half red, right half blue.
std::string MakePicture(const TempDir& Dir, const std::string& Extension) {
    std::string path = Dir / ("picture." + Extension);
    auto result = RunCommand("convert -size 8x16 xc:red -size 8x16 xc:blue +append " + ShellQuote(path));
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    return ReadFile(path);
}

} // namespace

TEST(UiControls, HandleIsAContainerThatGivesANativeChildItsWholeArea) {
    TForm form;
    form.SetClientSize(400, 300);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetAlign(TAlign::alTop);
    panel->SetHeight(50);
    auto* host = new THost(&form);
    host->SetParent(&form);
    host->SetAlign(TAlign::alClient);
    ASSERT_TRUE(GTK_IS_CONTAINER(host->Handle()));
    // What a browser engine does: one child of its own in the container.
    GtkWidget* view = gtk_drawing_area_new();
    gtk_container_add(GTK_CONTAINER(host->Handle()), view);
    gtk_widget_show(view);
    ShowAndFocus(form);
    ASSERT_TRUE(WaitFor([&] { return gtk_widget_get_allocated_height(view) == 250; }));
    EXPECT_EQ(gtk_widget_get_allocated_width(view), 400);
    EXPECT_EQ(host->Top(), 50);
    EXPECT_EQ(host->Width(), 400);
    EXPECT_EQ(host->Height(), 250);
    EXPECT_EQ(panel->Width(), 400);
    int resizes = host->Resizes;
    form.SetClientSize(500, 400);
    ASSERT_TRUE(WaitFor([&] { return gtk_widget_get_allocated_height(view) == 350; }));
    EXPECT_EQ(gtk_widget_get_allocated_width(view), 500);
    EXPECT_GT(host->Resizes, resizes);
    EXPECT_EQ(host->ClientWidth(), 500);
    EXPECT_EQ(TControl::FromWidget(view), host);
    // Visibility follows the control and tells it.
    host->SetVisible(false);
    EXPECT_EQ(host->VisibleChanges, 1);
    EXPECT_TRUE(WaitFor([&] { return !gtk_widget_get_mapped(view); }));
    host->SetVisible(true);
    EXPECT_EQ(host->VisibleChanges, 2);
    EXPECT_TRUE(WaitFor([&] { return gtk_widget_get_mapped(view); }));
}

TEST(UiControls, MinimizeAndRestoreReachEveryWindowedControlOfTheForm) {
    TForm form;
    auto* host = new THost(&form);
    host->SetParent(&form);
    host->SetAlign(TAlign::alClient);
    ShowAndFocus(form);
    SendIconify(XidOf(form.NativeWindow()));
    ASSERT_TRUE(WaitFor([&] { return host->Commands.size() == 1; }));
    EXPECT_EQ(host->Commands[0], SC_MINIMIZE);
    SendActivate(XidOf(form.NativeWindow()));
    ASSERT_TRUE(WaitFor([&] { return host->Commands.size() == 2; }));
    EXPECT_EQ(host->Commands[1], SC_RESTORE);
}

TEST(UiControls, FocusMovesWithTabAndRaisesEnterAndExit) {
    TForm form;
    auto* first = new TEdit(&form);
    first->SetParent(&form);
    first->SetBounds(10, 10, 200, 30);
    auto* host = new THost(&form);
    host->SetParent(&form);
    host->SetBounds(10, 60, 200, 100);
    host->SetTabStop(true);
    int enters = 0, exits = 0;
    host->OnEnter = [&](TObject* Sender) {
        EXPECT_EQ(Sender, host);
        ++enters;
    };
    host->OnExit = [&](TObject*) { ++exits; };
    ShowAndFocus(form);
    first->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return first->Focused(); }));
    EXPECT_EQ(form.ActiveControl(), first);
    TapKey("Tab");
    ASSERT_TRUE(WaitFor([&] { return host->Focused(); }));
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(form.ActiveControl(), host);
    first->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return first->Focused(); }));
    EXPECT_EQ(exits, 1);
    // SetFocus on the host, then the same through SelectNext.
    host->SetFocus();
    EXPECT_TRUE(WaitFor([&] { return host->Focused() && enters == 2; }));
    form.SelectNext(host, true, true);
    EXPECT_TRUE(WaitFor([&] { return first->Focused(); }));
    EXPECT_EQ(exits, 2);
}

TEST(UiControls, SelectNextFollowsTabOrderSkipsNonTabStopsAndWraps) {
    TForm form;
    auto* a = new TEdit(&form);
    auto* b = new TEdit(&form);
    auto* c = new TEdit(&form);
    for (TEdit* e : {a, b, c})
        e->SetParent(&form);
    b->SetTabStop(false);
    EXPECT_EQ(a->TabOrder(), 0);
    EXPECT_EQ(c->TabOrder(), 2);
    ShowAndFocus(form);
    EXPECT_EQ(form.FindNextControl(a, true, true), c);
    EXPECT_EQ(form.FindNextControl(a, true, false), b);
    EXPECT_EQ(form.FindNextControl(c, true, true), a);
    EXPECT_EQ(form.FindNextControl(a, false, true), c);
    c->SetTabOrder(0);
    EXPECT_EQ(form.FindNextControl(c, true, true), a);
    // A control without windowed children finds nothing, so nothing moves.
    auto* lonely = new THost(&form);
    lonely->SetParent(&form);
    EXPECT_EQ(lonely->FindNextControl(lonely, true, true), nullptr);
    a->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return a->Focused(); }));
    lonely->SelectNext(lonely, true, true);
    Pump(50);
    EXPECT_TRUE(a->Focused());
}

TEST(UiControls, RealKeyPressesBecomeWindowsKeyMessages) {
    TForm form;
    std::vector<TWMKey> seen;
    form.OnShortCut = [&](const TWMKey& Message, bool& Handled) {
        seen.push_back(Message);
        Handled = Message.CharCode == 'S';
    };
    ShowAndFocus(form);
    TapKey("s", {"ctrl", "shift"});
    TapKey("x", {"alt"});
    TapKey("F5");
    TapKey("Delete");
    ASSERT_TRUE(WaitFor([&] {
        return std::any_of(seen.begin(), seen.end(), [](const TWMKey& m) { return m.CharCode == VK_DELETE; });
    }));
    auto find = [&](std::uint16_t Key) {
        auto it = std::find_if(seen.begin(), seen.end(), [&](const TWMKey& m) { return m.CharCode == Key; });
        EXPECT_NE(it, seen.end()) << Key;
        return it == seen.end() ? TWMKey{} : *it;
    };
    TWMKey ctrlShiftS = find('S');
    EXPECT_EQ(ctrlShiftS.Msg, WM_KEYDOWN);
    EXPECT_EQ(KeyDataToShiftState(ctrlShiftS.KeyData), ssCtrl | ssShift);
    EXPECT_EQ(ShortCutFromMessage(ctrlShiftS), TextToShortCut("Ctrl+Shift+S"));
    int scanS = KeycodeOf("s") - 8;
    EXPECT_EQ((ctrlShiftS.KeyData >> 16) & 0xFF, scanS);
    EXPECT_EQ(ctrlShiftS.KeyData & 0xFFFF, 1); // repeat count
    TWMKey altX = find('X');
    EXPECT_EQ(altX.Msg, WM_SYSKEYDOWN);
    EXPECT_TRUE(altX.KeyData & KeyDataAlt);
    EXPECT_EQ(KeyDataToShiftState(altX.KeyData), ssAlt);
    TWMKey f5 = find(VK_F1 + 4);
    EXPECT_EQ(f5.Msg, WM_KEYDOWN);
    EXPECT_EQ(KeyDataToShiftState(f5.KeyData), 0u);
    TWMKey del = find(VK_DELETE);
    EXPECT_TRUE(del.KeyData & KeyDataExtended);
}

TEST(UiControls, KeyValuesAndVirtualKeysTranslateBothWays) {
    struct TCase {
        unsigned Keyval;
        std::uint16_t Key;
        TShiftState Shift;
    };
    const TCase cases[] = {
        {GDK_KEY_a, 'A', 0},
        {GDK_KEY_A, 'A', ssShift},
        {GDK_KEY_7, '7', 0},
        {GDK_KEY_ampersand, '7', ssShift},
        {GDK_KEY_Return, VK_RETURN, 0},
        {GDK_KEY_Escape, VK_ESCAPE, 0},
        {GDK_KEY_F12, VK_F12, 0},
        {GDK_KEY_Left, VK_LEFT, 0},
        {GDK_KEY_Page_Down, VK_NEXT, 0},
        {GDK_KEY_KP_3, VK_NUMPAD0 + 3, 0},
        {GDK_KEY_KP_Add, VK_ADD, 0},
        {GDK_KEY_minus, VK_OEM_MINUS, 0},
        {GDK_KEY_underscore, VK_OEM_MINUS, ssShift},
        {GDK_KEY_bracketleft, VK_OEM_4, 0},
        {GDK_KEY_Tab, VK_TAB, 0},
        {GDK_KEY_ISO_Left_Tab, VK_TAB, ssShift},
        {GDK_KEY_BackSpace, VK_BACK, 0},
        {GDK_KEY_Delete, VK_DELETE, 0},
        {GDK_KEY_space, VK_SPACE, 0},
        {GDK_KEY_Menu, VK_APPS, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyvalToVirtualKey(c.Keyval), c.Key) << c.Keyval;
        EXPECT_EQ(VirtualKeyToKeyval(c.Key, c.Shift), c.Keyval) << c.Key;
    }
    EXPECT_EQ(KeyvalToVirtualKey(GDK_KEY_Control_R), VK_CONTROL);
    EXPECT_EQ(KeyvalToVirtualKey(GDK_KEY_VoidSymbol), 0);
    EXPECT_EQ(NativeStateToShiftState(ShiftStateToNativeState(ssCtrl | ssAlt | ssShift)),
              ssCtrl | ssAlt | ssShift);
}

TEST(UiControls, AKeyMessageBecomesAToolkitEventThatTypesTheKey) {
    TForm form;
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(10, 10, 200, 30);
    ShowAndFocus(form);
    edit->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return edit->Focused(); }));
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(form.NativeWindow()));
    for (TWMKey m : {TWMKey{WM_KEYDOWN, 'Q', KeyDataModifiersValid | KeyDataShift},
                     TWMKey{WM_KEYDOWN, 'W', KeyDataModifiersValid}}) {
        auto* event = static_cast<GdkEvent*>(MessageToNativeKeyEvent(m, window));
        EXPECT_EQ(KeyvalToVirtualKey(event->key.keyval), m.CharCode);
        // And back: the same message.
        TWMKey back = NativeKeyEventToMessage(&event->key);
        EXPECT_EQ(back.Msg, m.Msg);
        EXPECT_EQ(back.CharCode, m.CharCode);
        EXPECT_EQ(KeyDataToShiftState(back.KeyData), KeyDataToShiftState(m.KeyData));
        gtk_main_do_event(event);
        gdk_event_free(event);
    }
    EXPECT_EQ(edit->Text(), "Qw");
}

TEST(UiControls, ShortCutTextRoundTrips) {
    for (const char* text :
         {"Ctrl+O", "Shift+Ctrl+S", "Alt+F4", "F1", "Del", "Ctrl+Enter", "Esc", "Ctrl+9"}) {
        TShortCut sc = TextToShortCut(text);
        EXPECT_NE(sc, scNone) << text;
        EXPECT_EQ(ShortCutToText(sc), text);
    }
    EXPECT_EQ(TextToShortCut("Ctrl+Shift+S"), ShortCut('S', ssCtrl | ssShift));
    EXPECT_EQ(TextToShortCut("ctrl+o"), ShortCut('O', ssCtrl));
    EXPECT_EQ(TextToShortCut("Ctrl+"), scNone);
    EXPECT_EQ(TextToShortCut("Hyper+X"), scNone);
    // Only key down messages stand for short-cuts; a lone modifier is none.
    EXPECT_EQ(ShortCutFromMessage({WM_KEYUP, 'O', KeyDataModifiersValid | KeyDataCtrl}), scNone);
    EXPECT_EQ(ShortCutFromMessage({WM_KEYDOWN, VK_CONTROL, KeyDataModifiersValid | KeyDataCtrl}), scNone);
    EXPECT_EQ(ShortCutFromMessage({WM_SYSKEYDOWN, VK_F1 + 3, KeyDataModifiersValid | KeyDataAlt}),
              TextToShortCut("Alt+F4"));
}

TEST(UiControls, PasswordEditHidesTextAndReportsEveryKeyReleaseAfterTheChange) {
    TForm form;
    form.SetClientSize(308, 71);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(24, 24, 257, 21);
    edit->SetPasswordChar(U'*');
    auto* images = new TImageList(&form);
    TBitmap key(16, 16);
    key.Fill({0xFF, 0xC0, 0x00});
    images->Add(key, "key");
    edit->SetImages(images);
    edit->SetLeftButtonImageIndex(0);
    edit->SetLeftButtonVisible(true);
    std::vector<std::string> textsAtKeyUp;
    std::vector<std::uint16_t> keysUp;
    edit->OnKeyUp = [&](TObject* Sender, std::uint16_t& Key, TShiftState) {
        EXPECT_EQ(Sender, edit);
        keysUp.push_back(Key);
        textsAtKeyUp.push_back(edit->Text());
    };
    int leftClicks = 0;
    edit->OnLeftButtonClick = [&](TObject*) { ++leftClicks; };
    ShowAndFocus(form);
    edit->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return edit->Focused(); }));
    EXPECT_FALSE(gtk_entry_get_visibility(GTK_ENTRY(edit->Widget())));
    EXPECT_EQ(gtk_entry_get_invisible_char(GTK_ENTRY(edit->Widget())), static_cast<gunichar>('*'));
    TapKey("a");
    TapKey("B", {"shift"});
    TapKey("c");
    TapKey("BackSpace");
    ASSERT_TRUE(WaitFor([&] { return textsAtKeyUp.size() >= 5; }));
    EXPECT_EQ(edit->Text(), "aB");
    // The release of each key sees the text with that key applied.
    EXPECT_NE(std::find(textsAtKeyUp.begin(), textsAtKeyUp.end(), "aBc"), textsAtKeyUp.end());
    EXPECT_EQ(textsAtKeyUp.back(), "aB");
    EXPECT_EQ(keysUp.back(), VK_BACK);
    // The left button shows the image list's picture, 16 x 16.
    GdkPixbuf* icon = gtk_entry_get_icon_pixbuf(GTK_ENTRY(edit->Widget()), GTK_ENTRY_ICON_PRIMARY);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(icon), 16);
    EXPECT_EQ(gdk_pixbuf_read_pixels(icon)[0], 0xFF);
    GdkRectangle area;
    gtk_entry_get_icon_area(GTK_ENTRY(edit->Widget()), GTK_ENTRY_ICON_PRIMARY, &area);
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(edit->Widget()));
    int x = 0, y = 0;
    gdk_window_get_origin(window, &x, &y);
    GtkAllocation a;
    gtk_widget_get_allocation(GTK_WIDGET(edit->Widget()), &a);
    ClickAt(x + a.x + area.x + area.width / 2, y + a.y + area.y + area.height / 2);
    EXPECT_TRUE(WaitFor([&] { return leftClicks == 1; }));
}

TEST(UiControls, MarqueeMovesOnlyWhileShownAndRestsWhenHidden) {
    TForm form;
    auto* bar = new TProgressBar(&form);
    bar->SetParent(&form);
    bar->SetAlign(TAlign::alBottom);
    bar->SetHeight(4);
    bar->SetStyle(TProgressBarStyle::pbstMarquee);
    bar->SetMarqueeInterval(10);
    Pump(100);
    EXPECT_EQ(bar->MarqueeSteps(), 0);
    ShowAndFocus(form);
    ASSERT_TRUE(WaitFor([&] { return bar->MarqueeSteps() > 3; }));
    EXPECT_TRUE(WaitFor([&] { return gtk_widget_get_allocated_height(GTK_WIDGET(bar->Widget())) == 4; }))
        << gtk_widget_get_allocated_height(GTK_WIDGET(bar->Widget())) << " " << bar->Height() << " pref "
        << [&] {
               int mn = 0, nt = 0;
               gtk_widget_get_preferred_height(GTK_WIDGET(bar->Widget()), &mn, &nt);
               return mn;
           }();
    bar->SetVisible(false);
    int steps = bar->MarqueeSteps();
    Pump(100);
    EXPECT_EQ(bar->MarqueeSteps(), steps);
    // At rest, nothing of the bar keeps the window's frame clock running.
    GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(bar->Widget()));
    ASSERT_NE(clock, nullptr);
    const gint64 frames = gdk_frame_clock_get_frame_counter(clock);
    Pump(300);
    EXPECT_LE(gdk_frame_clock_get_frame_counter(clock) - frames, 1);
    bar->SetStyle(TProgressBarStyle::pbstNormal);
    bar->SetRange(0, 200);
    bar->SetPosition(50);
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(bar->Widget())), 0.25);
    bar->SetPosition(900);
    EXPECT_EQ(bar->Position(), 200);
}

TEST(UiControls, ActivityIndicatorAnimatesAndDrawsInItsColour) {
    TForm form;
    auto* indicator = new TActivityIndicator(&form);
    indicator->SetParent(&form);
    indicator->SetIndicatorSize(TActivityIndicatorSize::aisXLarge);
    indicator->SetBounds(9, 8, 64, 64);
    EXPECT_TRUE(indicator->Animate());
    ShowAndFocus(form);
    int frame = indicator->FrameIndex();
    EXPECT_TRUE(WaitFor([&] { return indicator->FrameIndex() != frame; }));
    EXPECT_EQ(gtk_widget_get_allocated_width(GTK_WIDGET(indicator->Widget())), 64);

    auto render = [&](TActivityIndicatorType Type, TActivityIndicatorColor Colour) {
        indicator->SetIndicatorType(Type);
        indicator->SetIndicatorColor(Colour);
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 64);
        cairo_t* cr = cairo_create(surface);
        indicator->Draw(cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        std::vector<std::uint32_t> pixels(64 * 64);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < 64; ++y)
            std::memcpy(&pixels[static_cast<std::size_t>(y) * 64], data + y * stride, 64 * 4);
        cairo_surface_destroy(surface);
        return pixels;
    };
    indicator->SetAnimate(false);
    for (auto type : {TActivityIndicatorType::aitMomentumDots, TActivityIndicatorType::aitRotatingSector,
                      TActivityIndicatorType::aitSectorRing}) {
        auto black = render(type, TActivityIndicatorColor::aicBlack);
        auto white = render(type, TActivityIndicatorColor::aicWhite);
        int drawn = 0, blackOk = 0, whiteOk = 0;
        for (std::size_t i = 0; i < black.size(); ++i) {
            std::uint32_t b = black[i], w = white[i];
            if ((b >> 24) == 0xFF) {
                ++drawn;
                blackOk += (b & 0xFFFFFF) == 0;
                whiteOk += (w & 0xFFFFFF) == 0xFFFFFF;
            }
        }
        EXPECT_GT(drawn, 40) << static_cast<int>(type);
        EXPECT_EQ(blackOk, drawn);
        EXPECT_EQ(whiteOk, drawn);
        // The animation changes the picture.
        auto before = render(type, TActivityIndicatorColor::aicBlack);
        for (int i = 0; i < 7; ++i)
            indicator->NextFrame();
        EXPECT_NE(render(type, TActivityIndicatorColor::aicBlack), before) << static_cast<int>(type);
    }
}

TEST(UiControls, PicturesOfEveryCommonFormatDecodeAndGreyForDisabledItems) {
    TempDir dir;
    TImageCollection collection;
    TVirtualImageList list;
    list.SetAutoFill(true);
    list.SetImageCollection(&collection);
    int changes = 0;
    auto notifier = list.Notifier().lock();
    ASSERT_TRUE(notifier);
    notifier->Add([&] { ++changes; });
    const char* formats[] = {"png", "jpg", "bmp", "gif", "ico", "tiff"};
    for (const char* format : formats) {
        collection.Add(std::string("MainMenuImg") + std::to_string(collection.Count()),
                       MakePicture(dir, format));
        collection.Changed();
    }
    EXPECT_EQ(changes, 6);
    ASSERT_EQ(list.Count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(list.NameOf(i), "MainMenuImg" + std::to_string(i));
        EXPECT_EQ(collection.Source(i).Width(), 16) << formats[i];
        TBitmap picture = list.GetBitmap(i);
        ASSERT_EQ(picture.Width(), 16);
        ASSERT_EQ(picture.Height(), 16);
        const auto* left = picture.Pixel(2, 8);
        const auto* right = picture.Pixel(13, 8);
        EXPECT_GT(left[0], 200) << formats[i];
        EXPECT_LT(left[2], 60) << formats[i];
        EXPECT_GT(right[2], 200) << formats[i];
        EXPECT_LT(right[0], 60) << formats[i];
        TBitmap grey = list.GetBitmap(i, false);
        for (int x : {2, 13}) {
            const auto* p = grey.Pixel(x, 8);
            EXPECT_EQ(p[0], p[1]);
            EXPECT_EQ(p[1], p[2]);
        }
        // Red and blue keep their different brightness in grey.
        EXPECT_NE(grey.Pixel(2, 8)[0], grey.Pixel(13, 8)[0]);
    }
    // A larger source is rendered at the list's size.
    list.SetSize(8, 8);
    EXPECT_EQ(list.GetBitmap(0).Width(), 8);
    EXPECT_THROW(collection.Add("broken", "not a picture at all"), EUiError);
    EXPECT_EQ(collection.Count(), 6);
    // A picture named with the disabled suffix is used instead of the grey one.
    TBitmap green(16, 16);
    green.Fill({0, 0xFF, 0});
    list.SetSize(16, 16);
    collection.AddBitmap("MainMenuImg0_Disabled", green);
    collection.Changed();
    EXPECT_EQ(list.Count(), 6);
    EXPECT_EQ(list.GetBitmap(0, false).Pixel(5, 5)[1], 0xFF);
    collection.Clear();
    collection.Changed();
    EXPECT_EQ(list.Count(), 0);
}

TEST(UiControls, ImageControlShowsItsPicture) {
    TForm form;
    auto* image = new TImage(&form);
    image->SetParent(&form);
    image->SetBounds(0, 0, 40, 20);
    TBitmap picture(10, 5);
    picture.Fill({0x10, 0x20, 0x30});
    image->SetPicture(picture);
    GdkPixbuf* shown = gtk_image_get_pixbuf(GTK_IMAGE(image->Widget()));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(shown), 10);
    image->SetStretch(true);
    shown = gtk_image_get_pixbuf(GTK_IMAGE(image->Widget()));
    EXPECT_EQ(gdk_pixbuf_get_width(shown), 40);
    EXPECT_EQ(gdk_pixbuf_get_height(shown), 20);
    EXPECT_EQ(gdk_pixbuf_read_pixels(shown)[2], 0x30);
}
