// The windows of the start-up on the real toolkit: the localized dialog, the
// engine installer's progress window and the access password window, with
// input through the X server.
#include "UiTestSupport.h"

#include "platform/ui/Application.h"
#include "platform/ui/Dialogs.h"
#include "runtime/EdgeInstallerForm.h"
#include "runtime/LocalizedMessages.h"
#include "runtime/RequirePasswordForm.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Norvane::Platform::Ui;
using namespace Norvane::Runtime;
using namespace Norvane::Testing::Ui;

namespace {

TCustomForm* ShownFormCaptioned(const std::string& Caption) {
    for (int i = 0; i < TScreen::FormCount(); ++i) {
        TCustomForm* form = TScreen::Forms(i);
        if (form->Caption() == Caption && form->IsModal() && WaitActive(form->NativeWindow(), 0))
            return form;
    }
    return nullptr;
}

std::vector<std::string> ButtonCaptions(TCustomForm* Form) {
    std::vector<std::string> captions;
    for (int i = 0; i < Form->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TButton*>(Form->Controls(i)))
            captions.push_back(b->Caption());
    return captions;
}

// Shows the localized dialog and runs Action once it is up; the dialog is
// handed to Inspect first.
TModalResult RunLocalizedDialog(const std::string& Msg, TMsgDlgType Type, TMsgDlgButtons Buttons,
                                const std::string& Title, const std::vector<std::string>& Captions,
                                std::function<void(TCustomForm*)> Action) {
    bool timedOut = false;
    When([Title] { return ShownFormCaptioned(Title) != nullptr; },
         [Title, Action] { Action(ShownFormCaptioned(Title)); }, 8000, &timedOut);
    TModalResult result = ShowLocalizedDialog(Msg, Type, Buttons, Title, Captions);
    EXPECT_FALSE(timedOut);
    return result;
}

bool Near(TPixel P, TRgb C) {
    return std::abs(P.R - C.R) <= 8 && std::abs(P.G - C.G) <= 8 && std::abs(P.B - C.B) <= 8;
}

} // namespace

TEST(StartupDialog, ShowsTheTitleAndTheCaptionsInCreationOrderAndReturnsTheResult) {
    std::vector<std::string> captions;
    std::string windowTitle;
    TCustomForm* shown = nullptr;
    TModalResult result = RunLocalizedDialog(
        "¿Quiere instalarlo ahora?", TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbYes},
        "Confirmar", {"Aceptar", "Cancelar"}, [&](TCustomForm* dialog) {
            shown = dialog;
            captions = ButtonCaptions(dialog);
            windowTitle = gtk_window_get_title(GTK_WINDOW(dialog->NativeWindow()));
            ClickWidget(FindButton(GTK_WIDGET(dialog->NativeWindow()), "Cancelar"));
        });
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(captions, (std::vector<std::string>{"Aceptar", "Cancelar"}));
    EXPECT_EQ(windowTitle, "Confirmar");
    // The dialog belongs to the application and is still there.
    ASSERT_NE(shown, nullptr);
    bool owned = false;
    for (int i = 0; i < Application().ComponentCount(); ++i)
        owned = owned || Application().Components(i) == shown;
    EXPECT_TRUE(owned);
    auto* icon = dynamic_cast<TImage*>(shown->Controls(0));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->IconName(), "dialog-question");

    // Enter presses the first button.
    result =
        RunLocalizedDialog("Install?", TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbCancel},
                           "Confirm", {"Accept", "Cancel"}, [](TCustomForm*) { TapKey("Return"); });
    EXPECT_EQ(result, mrYes);
}

TEST(StartupDialog, ButtonsBeyondTheCaptionsKeepTheirOwnAndTheErrorKindShowsItsIcon) {
    std::vector<std::string> captions;
    std::string iconName;
    TModalResult result =
        RunLocalizedDialog("This application cannot continue and will be closed now.", TMsgDlgType::mtError,
                           {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbCancel}, "Error",
                           {"Akzeptieren"}, [&](TCustomForm* dialog) {
                               captions = ButtonCaptions(dialog);
                               if (auto* icon = dynamic_cast<TImage*>(dialog->Controls(0)))
                                   iconName = icon->IconName();
                               ClickWidget(FindButton(GTK_WIDGET(dialog->NativeWindow()), "Akzeptieren"));
                           });
    EXPECT_EQ(result, mrYes);
    EXPECT_EQ(captions, (std::vector<std::string>{"Akzeptieren", "&No", "Cancel"}));
    EXPECT_EQ(iconName, "dialog-error");
}

// In every language of the table, the buttons of the install offer (the
// widest pair) take their captions whole, side by side, inside the dialog.
TEST(StartupDialog, ButtonsFitTheirCaptionsInEveryLanguage) {
    for (const char* language : {"en", "es", "it", "de", "fr", "zh"}) {
        SCOPED_TRACE(language);
        const std::string title = GetLocalizedMessageFor(language, lmConfirmTitle);
        std::vector<std::string> problems;
        RunLocalizedDialog(GetLocalizedMessageFor(language, lmInstallOffer), TMsgDlgType::mtConfirmation,
                           {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbCancel}, title,
                           {GetLocalizedMessageFor(language, lmAcceptButton),
                            GetLocalizedMessageFor(language, lmCancelButton)},
                           [&](TCustomForm* dialog) {
                               int right = 0;
                               for (int i = 0; i < dialog->ControlCount(); ++i) {
                                   auto* b = dynamic_cast<TButton*>(dialog->Controls(i));
                                   if (!b)
                                       continue;
                                   GtkWidget* widget =
                                       FindButton(GTK_WIDGET(dialog->NativeWindow()), b->Caption());
                                   if (!widget) {
                                       problems.push_back("no button " + b->Caption());
                                       continue;
                                   }
                                   // Where the toolkit put it, in the dialog.
                                   int needed = 0, natural = 0, x = 0, y = 0;
                                   gtk_widget_get_preferred_width(widget, &needed, &natural);
                                   gtk_widget_translate_coordinates(
                                       widget, GTK_WIDGET(dialog->NativeWindow()), 0, 0, &x, &y);
                                   const int width = gtk_widget_get_allocated_width(widget);
                                   if (width < natural)
                                       problems.push_back(b->Caption() + " is " + std::to_string(width) +
                                                          " wide, needs " + std::to_string(natural));
                                   if (right > 0 && x < right + 4)
                                       problems.push_back(b->Caption() + " touches the button before it");
                                   right = x + width;
                               }
                               if (right > gtk_widget_get_allocated_width(GTK_WIDGET(dialog->NativeWindow())))
                                   problems.push_back("the buttons end past the dialog");
                               TapKey("Escape");
                           });
        EXPECT_EQ(problems, std::vector<std::string>{});
    }
}

TEST(StartupInstallerWindow, LayoutAndSettings) {
    auto* form = TCustomForm::Create<TEdgeInstallerForm>();
    EXPECT_EQ(form->Caption(), "EdgeInstallerForm");
    EXPECT_EQ(form->BorderStyle(), TBorderStyle::bsNone);
    EXPECT_EQ(form->ClientWidth(), 80);
    EXPECT_EQ(form->ClientHeight(), 80);
    EXPECT_TRUE(form->DropShadow());
    EXPECT_EQ(form->Cursor(), TCursor::crAppStart);
    EXPECT_EQ(form->Color(), clHotLight);
    TActivityIndicator* indicator = form->ActivityIndicator;
    ASSERT_NE(indicator, nullptr);
    EXPECT_EQ(indicator->Parent(), form);
    EXPECT_EQ(indicator->Left(), 9);
    EXPECT_EQ(indicator->Top(), 8);
    EXPECT_EQ(indicator->IndicatorSize(), TActivityIndicatorSize::aisXLarge);
    EXPECT_TRUE(indicator->Animate());
    EXPECT_EQ(indicator->Cursor(), TCursor::crAppStart);
    // The default settings: the hot-light colour, white momentum dots.
    EXPECT_EQ(indicator->IndicatorColor(), TActivityIndicatorColor::aicWhite);
    EXPECT_EQ(indicator->IndicatorType(), TActivityIndicatorType::aitMomentumDots);

    form->ApplySettings(0x000000FF, 0, 2);
    EXPECT_EQ(form->Color(), 0x000000FFu);
    EXPECT_EQ(indicator->IndicatorColor(), TActivityIndicatorColor::aicBlack);
    EXPECT_EQ(indicator->IndicatorType(), TActivityIndicatorType::aitSectorRing);
    form->ApplySettings(-16777190, 1, 1); // 0xFF00001A written in decimal
    EXPECT_EQ(form->Color(), clHotLight);
    EXPECT_EQ(indicator->IndicatorColor(), TActivityIndicatorColor::aicWhite);
    EXPECT_EQ(indicator->IndicatorType(), TActivityIndicatorType::aitRotatingSector);
    form->ApplySettings(0x00FF0000, 7, 9); // values outside the lists: the defaults
    EXPECT_EQ(indicator->IndicatorColor(), TActivityIndicatorColor::aicWhite);
    EXPECT_EQ(indicator->IndicatorType(), TActivityIndicatorType::aitMomentumDots);
    delete form;
}

TEST(StartupInstallerWindow, ShowsAsARoundedShadowedPopUpThatCannotBeClosed) {
    auto* form = TCustomForm::Create<TEdgeInstallerForm>();
    form->ApplySettings(0x000000FF, 1, 0); // red
    form->Show();
    unsigned long xid = 0;
    ASSERT_TRUE(WaitFor([&] {
        xid = form->NativeWindow() ? XidOf(form->NativeWindow()) : 0;
        return xid && WindowViewable(xid);
    }));
    Pump(300);
    TGeometry g = ClientGeometry(xid);
    EXPECT_EQ(g.Width, 80);
    EXPECT_EQ(g.Height, 80);
    auto frame = FrameExtents(xid);
    for (long extent : frame)
        EXPECT_EQ(extent, 0) << "the window has a frame";
    EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(form->NativeWindow())));
    EXPECT_TRUE(HasProperty(xid, "_NORVANE_DROP_SHADOW"));
    EXPECT_TRUE(form->RegionApplied());
    // Centred on the screen (there is no main window).
    TRect work = TScreen::WorkArea();
    EXPECT_NEAR(g.X + 40, work.Left + work.Width() / 2, 2);
    EXPECT_NEAR(g.Y + 40, work.Top + work.Height() / 2, 2);
    // Its colour beside the indicator; the very corner is cut away.
    EXPECT_TRUE(Near(ScreenPixel(g.X + 4, g.Y + 76), {255, 0, 0}));
    EXPECT_FALSE(Near(ScreenPixel(g.X, g.Y), {255, 0, 0}));

    // Neither the close request of the window manager nor Close closes it.
    SendCloseRequest(xid);
    Pump(400);
    EXPECT_TRUE(WindowViewable(xid));
    form->Close();
    Pump(100);
    EXPECT_TRUE(WindowViewable(xid));
    EXPECT_FALSE(form->CloseQuery());
    delete form;
}

TEST(StartupPasswordWindow, Layout) {
    auto* form = TCustomForm::Create<TRequirePasswordForm>();
    EXPECT_EQ(form->Caption(), "[App Name]");
    EXPECT_EQ(form->BorderStyle(), TBorderStyle::bsDialog);
    EXPECT_EQ(form->ClientWidth(), 308);
    EXPECT_EQ(form->ClientHeight(), 71);
    EXPECT_EQ(form->Color(), clBtnFace);
    EXPECT_EQ(form->Password(), "");
    TEdit* edit = form->PasswordEdit;
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->Parent(), form);
    EXPECT_EQ(edit->Left(), 24);
    EXPECT_EQ(edit->Top(), 24);
    EXPECT_EQ(edit->Width(), 257);
    EXPECT_EQ(edit->Height(), 21);
    EXPECT_EQ(edit->PasswordChar(), U'*');
    EXPECT_EQ(edit->TabOrder(), 0);
    EXPECT_TRUE(edit->LeftButtonVisible());
    EXPECT_EQ(edit->LeftButtonImageIndex(), 0);
    ASSERT_NE(edit->Images(), nullptr);
    ASSERT_EQ(edit->Images()->Count(), 1);
    EXPECT_EQ(edit->Images()->NameOf(0), "key");
    TBitmap key = edit->Images()->GetBitmap(0);
    ASSERT_EQ(key.Width(), 16);
    ASSERT_EQ(key.Height(), 16);
    int opaque = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            opaque += key.Pixel(x, y)[3] > 0 ? 1 : 0;
    EXPECT_GT(opaque, 40); // a drawn symbol, not an empty picture
    EXPECT_LT(opaque, 256);
    delete form;
}

TEST(StartupPasswordWindow, ComparesOnlyAtKeyReleasesAndIgnoresEnterAndEscape) {
    auto* form = TCustomForm::Create<TRequirePasswordForm>();
    form->SetCaption("Protected");
    form->SetPassword("Pw");
    bool stillOpen = false, timedOut = false;
    When(
        [form] {
            return form->IsModal() && WaitActive(form->NativeWindow(), 0) && form->PasswordEdit->Focused();
        },
        [&] {
            // The right text put in without a key (as a paste with the mouse): no comparison yet.
            TapKey("Return");
            TapKey("Escape");
            form->PasswordEdit->SetText("Pw");
            Pump(400);
            stillOpen = form->IsModal() && form->ModalResult() == mrNone;
            // The next key released in the field compares.
            TapKey("Shift_L");
        },
        8000, &timedOut);
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(stillOpen);

    // The close box ends the prompt without OK.
    form->PasswordEdit->SetText("");
    When([form] { return form->IsModal() && WaitActive(form->NativeWindow(), 0); },
         [form] { SendCloseRequest(XidOf(form->NativeWindow())); }, 8000, &timedOut);
    EXPECT_EQ(form->ShowModal(), mrCancel);
    EXPECT_FALSE(timedOut);
    delete form;
}
