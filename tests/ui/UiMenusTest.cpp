// Menus through the toolkit: access keys, separators, clicks with the pointer
// and the keyboard, short-cuts (also as key messages from a browser), images
// greyed for disabled items, and the menu bar's place in the form.
#include "UiTestSupport.h"

#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Menus.h"

#include <gtest/gtest.h>

using namespace Norvane::Platform::Ui;
using namespace Norvane::Testing::Ui;

namespace {

struct TMenuForm {
    TForm Form;
    TMainMenu* Menu = new TMainMenu(&Form);
    TImageCollection* Collection = new TImageCollection(&Form);
    TVirtualImageList* Images = new TVirtualImageList(&Form);
    TMenuItem* File = nullptr;
    TMenuItem* Open = nullptr;
    TMenuItem* Line = nullptr;
    TMenuItem* Quit = nullptr;
    std::vector<std::int64_t> Clicked;

    TMenuItem* Item(TMenuItem* Parent, const std::string& Caption, std::int64_t Tag) {
        auto* item = new TMenuItem(Menu);
        item->SetCaption(Caption);
        item->SetTag(Tag);
        Parent->Add(item);
        item->OnClick = [this, item](TObject* Sender) {
            EXPECT_EQ(Sender, item);
            Clicked.push_back(item->Tag());
        };
        return item;
    }

    TMenuForm() {
        Form.SetCaption("menus");
        Form.SetClientSize(400, 200);
        Images->SetAutoFill(true);
        Images->SetImageCollection(Collection);
        Menu->SetImages(Images);
        TBitmap red(32, 32);
        red.Fill({0xFF, 0, 0});
        Collection->AddBitmap("MainMenuImg0", red);
        Collection->Changed();
        File = Item(Menu->Items(), "&File", 1);
        File->OnClick = nullptr;
        Open = Item(File, "&Open", 11);
        Open->SetShortCut(TextToShortCut("Ctrl+O"));
        Open->SetImageName("MainMenuImg0");
        Line = Item(File, "-", 12);
        Quit = Item(File, "&Quit", 13);
        Form.SetMenu(Menu);
        Form.Show();
        PresentAndWait(Form.NativeWindow());
    }
};

GdkPixbuf* ItemPixbuf(TMenuItem* Item) {
    GtkWidget* box = gtk_bin_get_child(GTK_BIN(Item->Widget()));
    GList* children = gtk_container_get_children(GTK_CONTAINER(box));
    GtkWidget* image = GTK_WIDGET(children->data);
    g_list_free(children);
    return gtk_image_get_pixbuf(GTK_IMAGE(image));
}

} // namespace

TEST(UiMenus, StructureCaptionsSeparatorsAndAccessKeys) {
    TMenuForm m;
    EXPECT_EQ(m.Menu->Items()->Count(), 1);
    EXPECT_EQ(m.File->Count(), 3);
    EXPECT_NE(m.File->SubmenuWidget(), nullptr);
    EXPECT_EQ(m.Open->SubmenuWidget(), nullptr);
    EXPECT_TRUE(GTK_IS_SEPARATOR_MENU_ITEM(m.Line->Widget()));
    EXPECT_TRUE(m.Line->IsLine());
    EXPECT_EQ(m.Quit->MenuIndex(), 2);
    EXPECT_EQ(m.Quit->Parent(), m.File);
    EXPECT_EQ(m.Quit->GetMenu(), m.Menu);
    EXPECT_EQ(CaptionAccessKey("&File"), U'f');
    EXPECT_EQ(CaptionAccessKey("Save &As"), U'a');
    EXPECT_EQ(CaptionAccessKey("R&&D"), 0u);
    EXPECT_EQ(CaptionAccessKey("&\xC3\x84rger"), U'\u00E4');
    EXPECT_EQ(CaptionAccessKey("&\xFF"), 0u);
    EXPECT_EQ(CaptionToMnemonic("R&&D &Tools_x"), "R&D _Tools__x");
    // A caption turned into "-" becomes a separator in the same place, and back.
    m.Quit->SetCaption("-");
    EXPECT_TRUE(GTK_IS_SEPARATOR_MENU_ITEM(m.Quit->Widget()));
    GList* children = gtk_container_get_children(GTK_CONTAINER(m.File->SubmenuWidget()));
    EXPECT_EQ(g_list_nth_data(children, 2), m.Quit->Widget());
    g_list_free(children);
    m.Quit->SetCaption("&Quit");
    EXPECT_FALSE(GTK_IS_SEPARATOR_MENU_ITEM(m.Quit->Widget()));
    // The menu bar sits above the client area, which excludes it.
    GtkAllocation bar;
    gtk_widget_get_allocation(GTK_WIDGET(m.Menu->Widget()), &bar);
    EXPECT_GT(bar.height, 10);
    // Attaching the menu kept the window's size: the client area lost the bar's height.
    EXPECT_TRUE(WaitFor([&] { return m.Form.ClientHeight() == 200 - bar.height; })) << m.Form.ClientHeight();
    EXPECT_EQ(m.Form.ClientWidth(), 400);
    // An item cannot go under itself or under an item below it.
    EXPECT_THROW(m.File->Add(m.File), EUiError);
    EXPECT_THROW(m.Open->Add(m.File), EUiError);
    EXPECT_EQ(m.File->Parent(), m.Menu->Items());
    // Clearing frees the children.
    int owned = m.Menu->ComponentCount();
    m.File->Clear();
    EXPECT_EQ(m.File->Count(), 0);
    EXPECT_EQ(m.Menu->ComponentCount(), owned - 3);
    EXPECT_EQ(m.File->SubmenuWidget(), nullptr);
}

TEST(UiMenus, AccessKeysOpenTheMenuAndPickTheItem) {
    TMenuForm m;
    TapKey("f", {"alt"});
    ASSERT_TRUE(WaitFor([&] { return gtk_widget_get_mapped(GTK_WIDGET(m.File->SubmenuWidget())); }));
    TapKey("q");
    ASSERT_TRUE(WaitFor([&] { return !m.Clicked.empty(); }));
    EXPECT_EQ(m.Clicked, std::vector<std::int64_t>{13});
}

TEST(UiMenus, PointerClicksOnTheBarAndTheItem) {
    TMenuForm m;
    ClickWidget(GTK_WIDGET(m.File->Widget()));
    ASSERT_TRUE(WaitFor([&] { return gtk_widget_get_mapped(GTK_WIDGET(m.Open->Widget())); }));
    Pump(150);
    ClickWidget(GTK_WIDGET(m.Open->Widget()));
    ASSERT_TRUE(WaitFor([&] { return !m.Clicked.empty(); }));
    EXPECT_EQ(m.Clicked, std::vector<std::int64_t>{11});
    // A disabled item does nothing when clicked.
    m.Quit->SetEnabled(false);
    m.Quit->Click();
    EXPECT_EQ(m.Clicked.size(), 1u);
}

TEST(UiMenus, ShortCutsFromTheKeyboardAndFromKeyMessages) {
    TMenuForm m;
    TapKey("o", {"ctrl"});
    ASSERT_TRUE(WaitFor([&] { return m.Clicked.size() == 1; }));
    EXPECT_EQ(m.Clicked[0], 11);
    // A key press handed over in Windows terms (as the browser does).
    TWMKey ctrlO{WM_KEYDOWN, 'O', 1 | KeyDataModifiersValid | KeyDataCtrl};
    EXPECT_TRUE(m.Form.IsShortCut(ctrlO));
    EXPECT_EQ(m.Clicked.size(), 2u);
    TWMKey plainO{WM_KEYDOWN, 'O', 1 | KeyDataModifiersValid};
    EXPECT_FALSE(m.Form.IsShortCut(plainO));
    TWMKey keyUp{WM_KEYUP, 'O', KeyDataModifiersValid | KeyDataCtrl | KeyDataReleased};
    EXPECT_FALSE(m.Form.IsShortCut(keyUp));
    // Disabled items (or items under a disabled parent) take no short-cut.
    m.File->SetEnabled(false);
    EXPECT_FALSE(m.Form.IsShortCut(ctrlO));
    m.File->SetEnabled(true);
    m.Open->SetEnabled(false);
    EXPECT_FALSE(m.Form.IsShortCut(ctrlO));
    TapKey("o", {"ctrl"});
    Pump(100);
    EXPECT_EQ(m.Clicked.size(), 2u);
    // The short-cut text is shown in the item.
    GtkWidget* box = gtk_bin_get_child(GTK_BIN(m.Open->Widget()));
    GList* children = gtk_container_get_children(GTK_CONTAINER(box));
    GtkAccelLabel* label = GTK_ACCEL_LABEL(g_list_nth_data(children, 1));
    g_list_free(children);
    guint key = 0;
    GdkModifierType mods{};
    gtk_accel_label_get_accel(label, &key, &mods);
    EXPECT_EQ(key, static_cast<guint>(GDK_KEY_o));
    EXPECT_EQ(mods, GDK_CONTROL_MASK);
}

TEST(UiMenus, ItemImagesAreSixteenPixelsAndGreyWhenDisabled) {
    TMenuForm m;
    EXPECT_EQ(m.Open->ImageIndex(), 0);
    GdkPixbuf* shown = ItemPixbuf(m.Open);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(shown), 16);
    EXPECT_EQ(gdk_pixbuf_get_height(shown), 16);
    const guchar* p = gdk_pixbuf_read_pixels(shown);
    EXPECT_EQ(p[0], 0xFF);
    EXPECT_EQ(p[1], 0);
    m.Open->SetEnabled(false);
    p = gdk_pixbuf_read_pixels(ItemPixbuf(m.Open));
    EXPECT_EQ(p[0], p[1]);
    EXPECT_EQ(p[1], p[2]);
    m.Open->SetEnabled(true);
    p = gdk_pixbuf_read_pixels(ItemPixbuf(m.Open));
    EXPECT_EQ(p[0], 0xFF);
    EXPECT_EQ(p[2], 0);
    // A disabled parent greys its children too.
    m.File->SetEnabled(false);
    p = gdk_pixbuf_read_pixels(ItemPixbuf(m.Open));
    EXPECT_EQ(p[0], p[2]);
    m.File->SetEnabled(true);
    // Removing the pictures removes them from the items.
    m.Collection->Clear();
    m.Collection->Changed();
    EXPECT_EQ(ItemPixbuf(m.Open), nullptr);
}

TEST(UiMenus, DialogFrameHidesTheMenuBarAndDetachingRemovesIt) {
    TMenuForm m;
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(m.Menu->Widget())));
    m.Form.SetBorderStyle(TBorderStyle::bsDialog);
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(m.Menu->Widget())));
    // Still attached: short-cuts go on working.
    EXPECT_EQ(m.Form.Menu(), m.Menu);
    EXPECT_TRUE(m.Form.IsShortCut(TWMKey{WM_KEYDOWN, 'O', KeyDataModifiersValid | KeyDataCtrl}));
    m.Form.SetBorderStyle(TBorderStyle::bsSizeable);
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(m.Menu->Widget())));
    m.Form.SetMenu(nullptr);
    EXPECT_EQ(gtk_widget_get_parent(GTK_WIDGET(m.Menu->Widget())), nullptr);
    EXPECT_EQ(m.Menu->OwnerForm(), nullptr);
}

TEST(UiMenus, FreeingTheMenuOrItsImagesFirstIsSafe) {
    TForm form;
    auto* menu = new TMainMenu(&form);
    auto* images = new TImageList(&form);
    menu->SetImages(images);
    auto* item = new TMenuItem(menu);
    item->SetCaption("Item");
    item->SetImageIndex(0);
    menu->Items()->Add(item);
    form.SetMenu(menu);
    delete images;
    item->SetEnabled(false); // refreshes the picture: the list is gone
    EXPECT_EQ(menu->LiveImages(), nullptr);
    delete menu;
    EXPECT_EQ(form.Menu(), nullptr);
}
