// Dialogs through the toolkit: the standard message dialog (button order,
// captions replaced in creation order, results of a click, Escape, Enter and
// the close box), message and information boxes, open and save file dialogs.
#include "UiTestSupport.h"

#include "platform/ui/Application.h"
#include "platform/ui/Dialogs.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

using namespace Norvane::Platform::Ui;
using namespace Norvane::Testing::Ui;
using Norvane::Testing::TempDir;
using Norvane::Testing::WriteFile;

namespace {

std::vector<TButton*> Buttons(TForm* Dialog) {
    std::vector<TButton*> result;
    for (int i = 0; i < Dialog->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TButton*>(Dialog->Controls(i)))
            result.push_back(b);
    return result;
}

// Replaces the captions of the push buttons in creation order, as the
// localized start-up dialog does.
void SetCaptions(TForm* Dialog, const std::vector<std::string>& Captions) {
    std::size_t next = 0;
    for (int i = 0; i < Dialog->ControlCount() && next < Captions.size(); ++i)
        if (auto* b = dynamic_cast<TButton*>(Dialog->Controls(i)))
            b->SetCaption(Captions[next++]);
}

TModalResult RunWith(TForm* Dialog, std::function<void()> Action) {
    return RunModal(*Dialog, std::move(Action));
}

GtkWindow* ChooserDialog() {
    auto list = ToplevelsOfType(GTK_TYPE_FILE_CHOOSER_DIALOG);
    return list.empty() ? nullptr : list.front();
}

// The chooser is on the screen, managed by the window manager.
bool ChooserShown() {
    GtkWindow* chooser = ChooserDialog();
    return chooser && gtk_widget_get_mapped(GTK_WIDGET(chooser)) &&
           HasProperty(XidOf(chooser), "_NET_FRAME_EXTENTS");
}

} // namespace

TEST(UiDialogs, MessageDialogCreatesItsButtonsInTheFixedOrder) {
    TForm* dialog = CreateMessageDialog("All buttons", TMsgDlgType::mtWarning,
                                        {TMsgDlgBtn::mbClose, TMsgDlgBtn::mbHelp, TMsgDlgBtn::mbYesToAll,
                                         TMsgDlgBtn::mbNoToAll, TMsgDlgBtn::mbAll, TMsgDlgBtn::mbIgnore,
                                         TMsgDlgBtn::mbRetry, TMsgDlgBtn::mbAbort, TMsgDlgBtn::mbCancel,
                                         TMsgDlgBtn::mbOK, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbYes});
    std::vector<TModalResult> results;
    for (TButton* b : Buttons(dialog))
        results.push_back(b->ModalResult());
    std::vector<TModalResult> expected{mrYes,    mrNo,  mrOk,      mrCancel,   mrAbort, mrRetry,
                                       mrIgnore, mrAll, mrNoToAll, mrYesToAll, mrHelp,  mrClose};
    EXPECT_EQ(results, expected);
    // Icon and text come first.
    ASSERT_GE(dialog->ControlCount(), 2);
    auto* icon = dynamic_cast<TImage*>(dialog->Controls(0));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->IconName(), "dialog-warning");
    auto* text = dynamic_cast<TLabel*>(dialog->Controls(1));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Caption(), "All buttons");
    EXPECT_EQ(dialog->Owner(), &Application());
    EXPECT_EQ(dialog->Caption(), "Warning");
    // The default is OK; the buttons sit side by side without overlapping.
    auto buttons = Buttons(dialog);
    EXPECT_TRUE(buttons[2]->Default());
    for (std::size_t i = 1; i < buttons.size(); ++i)
        EXPECT_GE(buttons[i]->Left(), buttons[i - 1]->Left() + buttons[i - 1]->Width());
    delete dialog;
}

TEST(UiDialogs, ReplacedCaptionsAndTheResultOfAClickedButton) {
    TForm* dialog = CreateMessageDialog("Install it now?", TMsgDlgType::mtConfirmation,
                                        {TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbYes});
    dialog->SetCaption("Confirm");
    SetCaptions(dialog, {"Accept", "Cancel"});
    auto* icon = dynamic_cast<TImage*>(dialog->Controls(0));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->IconName(), "dialog-question");
    std::string title;
    TModalResult result = RunWith(dialog, [&] {
        title = gtk_window_get_title(GTK_WINDOW(dialog->NativeWindow()));
        GtkWidget* accept = FindButton(GTK_WIDGET(dialog->NativeWindow()), "Accept");
        ASSERT_NE(accept, nullptr);
        ClickWidget(accept);
    });
    EXPECT_EQ(result, mrYes);
    EXPECT_EQ(title, "Confirm");
    // Shown again: the second button, by its new caption.
    result = RunWith(dialog, [&] { ClickWidget(FindButton(GTK_WIDGET(dialog->NativeWindow()), "Cancel")); });
    EXPECT_EQ(result, mrCancel);
    delete dialog;
}

TEST(UiDialogs, CaptionsBeyondTheListKeepTheirOwn) {
    TForm* dialog = CreateMessageDialog("Three", TMsgDlgType::mtError,
                                        {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbCancel});
    SetCaptions(dialog, {"Aceptar"});
    auto buttons = Buttons(dialog);
    EXPECT_EQ(buttons[0]->Caption(), "Aceptar");
    EXPECT_EQ(buttons[1]->Caption(), "&No");
    EXPECT_EQ(buttons[2]->Caption(), "Cancel");
    delete dialog;
}

TEST(UiDialogs, EscapeAndTheCloseBoxGiveCancelAndEnterTheDefault) {
    TForm* offer =
        CreateMessageDialog("Offer", TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbCancel});
    EXPECT_EQ(RunWith(offer, [] { TapKey("Escape"); }), mrCancel);
    EXPECT_EQ(RunWith(offer, [offer] { SendCloseRequest(XidOf(offer->NativeWindow())); }), mrCancel);
    EXPECT_EQ(RunWith(offer, [] { TapKey("Return"); }), mrYes);
    delete offer;
    // Only one button and no cancel button: Escape and the close box still cancel.
    TForm* error = CreateMessageDialog("Error", TMsgDlgType::mtError, {TMsgDlgBtn::mbYes});
    EXPECT_EQ(RunWith(error, [] { TapKey("Escape"); }), mrCancel);
    EXPECT_EQ(RunWith(error, [error] { SendCloseRequest(XidOf(error->NativeWindow())); }), mrCancel);
    EXPECT_EQ(RunWith(error, [] { TapKey("Return"); }), mrYes);
    delete error;
    // Yes and No: Escape presses No.
    TForm* question =
        CreateMessageDialog("Question", TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo});
    EXPECT_EQ(RunWith(question, [] { TapKey("Escape"); }), mrNo);
    delete question;
}

TEST(UiDialogs, MessageDialogIsCentredOnTheScreenAndFitsItsText) {
    std::string text(300, 'x');
    for (std::size_t i = 10; i < text.size(); i += 11)
        text[i] = ' ';
    TForm* dialog = CreateMessageDialog(text, TMsgDlgType::mtInformation, {TMsgDlgBtn::mbOK});
    TRect work = TScreen::WorkArea();
    int width = 0, height = 0, x = 0, y = 0;
    RunWith(dialog, [&] {
        EXPECT_TRUE(
            WaitFor([&] { return HasProperty(XidOf(dialog->NativeWindow()), "_NET_FRAME_EXTENTS"); }));
        Pump(100);
        TGeometry g = ClientGeometry(XidOf(dialog->NativeWindow()));
        x = g.X + g.Width / 2;
        y = g.Y + g.Height / 2;
        width = g.Width;
        height = g.Height;
        dialog->SetModalResult(mrOk);
    });
    EXPECT_NEAR(x, work.Left + work.Width() / 2, 12);
    EXPECT_NEAR(y, work.Top + work.Height() / 2, 16);
    auto* label = dynamic_cast<TLabel*>(dialog->Controls(1));
    ASSERT_NE(label, nullptr);
    EXPECT_LE(label->Left() + label->Width(), width);
    EXPECT_LE(label->Top() + label->Height(), Buttons(dialog)[0]->Top());
    EXPECT_LE(Buttons(dialog)[0]->Top() + Buttons(dialog)[0]->Height(), height);
    EXPECT_GT(label->Height(), 30); // wrapped over several lines
    delete dialog;
}

TEST(UiDialogs, MessageBoxAndInformationBox) {
    std::string text;
    When([] { return !ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).empty(); },
         [&] {
             GtkWindow* box = ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).front();
             text = MessageDialogText(box);
             gtk_button_clicked(GTK_BUTTON(FindButton(GTK_WIDGET(box), "OK")));
         });
    EXPECT_EQ(MessageBox("Saved.", "Title", TMessageBoxIcon::Information, TMessageBoxKind::OkCancel), mrOk);
    EXPECT_EQ(text, "Saved.");
    // The close box of a Yes/No box answers No, of an OK/Cancel box Cancel.
    When([] { return !ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).empty(); },
         [] { gtk_window_close(ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).front()); });
    EXPECT_EQ(MessageBox("Sure?", "Title", TMessageBoxIcon::Question, TMessageBoxKind::YesNo), mrNo);
    When([] { return !ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).empty(); },
         [] { gtk_window_close(ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).front()); });
    EXPECT_EQ(MessageBox("Sure?", "Title", TMessageBoxIcon::Warning, TMessageBoxKind::OkCancel), mrCancel);

    // The information box: the application's title, centred on the screen.
    std::string title;
    int centreX = 0;
    When(
        [] {
            auto boxes = ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG);
            return !boxes.empty() && HasProperty(XidOf(boxes.front()), "_NET_FRAME_EXTENTS");
        },
        [&] {
            GtkWindow* box = ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).front();
            Pump(100);
            title = gtk_window_get_title(box);
            TGeometry g = ClientGeometry(XidOf(box));
            centreX = g.X + g.Width / 2;
            gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
        });
    Application().SetTitle("Info title");
    ShowMessage("Hello");
    EXPECT_EQ(title, "Info title");
    EXPECT_NEAR(centreX, TScreen::DesktopRect().Width() / 2, 12);
}

TEST(UiDialogs, OpenDialogWithFileTypesReturnsTheChosenFullPath) {
    TempDir dir;
    WriteFile(dir / "notes.txt", "text");
    WriteFile(dir / "picture.PNG", "png");
    TFileOpenDialog dialog;
    dialog.SetTitle("Open file");
    dialog.SetFileName(dir / "notes.txt");
    dialog.FileTypes() = {{"Text files", "*.txt"}, {"Pictures", "*.png;*.jpg"}, {"All files", "*.*"}};
    std::vector<std::string> filterNames;
    std::string title;
    auto selectTimedOut = std::make_shared<bool>(false);
    When([] { return ChooserDialog() && gtk_widget_get_mapped(GTK_WIDGET(ChooserDialog())); },
         [&] {
             GtkWindow* chooser = ChooserDialog();
             title = gtk_window_get_title(chooser);
             GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(chooser));
             for (GSList* f = filters; f; f = f->next)
                 filterNames.push_back(gtk_file_filter_get_name(GTK_FILE_FILTER(f->data)));
             // The mask matches without regard to case, as on Windows.
             GtkFileFilterInfo info{};
             info.contains = GTK_FILE_FILTER_DISPLAY_NAME;
             info.display_name = "picture.PNG";
             EXPECT_TRUE(gtk_file_filter_filter(GTK_FILE_FILTER(g_slist_nth_data(filters, 1)), &info));
             EXPECT_FALSE(gtk_file_filter_filter(GTK_FILE_FILTER(g_slist_nth_data(filters, 0)), &info));
             gtk_file_chooser_set_filter(GTK_FILE_CHOOSER(chooser),
                                         GTK_FILE_FILTER(g_slist_nth_data(filters, 2)));
             g_slist_free(filters);
             std::string wanted = dir / "picture.PNG";
             // The chooser loads the folder in the background: select until it sticks.
             When(
                 [chooser, wanted] {
                     char* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
                     bool ok = name && std::string(name) == wanted;
                     g_free(name);
                     if (!ok)
                         gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(chooser), wanted.c_str());
                     return ok;
                 },
                 [chooser] {
                     ClickWidget(
                         gtk_dialog_get_widget_for_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT));
                 },
                 8000, selectTimedOut.get());
         });
    // Never hang: a chooser still open after the time is cancelled.
    When([selectTimedOut] { return *selectTimedOut && ChooserDialog(); },
         [] { gtk_dialog_response(GTK_DIALOG(ChooserDialog()), GTK_RESPONSE_CANCEL); }, 20000);
    ASSERT_TRUE(dialog.Execute());
    EXPECT_FALSE(*selectTimedOut);
    EXPECT_EQ(dialog.FileName(), dir / "picture.PNG");
    EXPECT_EQ(title, "Open file");
    EXPECT_EQ(filterNames, (std::vector<std::string>{"Text files", "Pictures", "All files"}));
    // Cancel (Escape) keeps the earlier name and answers false.
    When(ChooserShown, [] {
        PresentAndWait(ChooserDialog());
        TapKey("Escape");
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_FALSE(dialog.Executing());
}

TEST(UiDialogs, SaveDialogAsksBeforeOverwritingOnlyWhenAsked) {
    TempDir dir;
    WriteFile(dir / "report.txt", "old");
    TFileSaveDialog dialog;
    dialog.SetTitle("Save file");
    dialog.SetFileName(dir / "report.txt");
    dialog.SetOptions(fdoOverWritePrompt);
    bool asked = false;
    auto pressSave = [] {
        GtkWindow* chooser = ChooserDialog();
        ClickWidget(gtk_dialog_get_widget_for_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT));
    };
    When(ChooserShown, pressSave);
    // The confirmation is a message dialog of the chooser; answer it with Replace.
    When([] { return !ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).empty(); },
         [&] {
             asked = true;
             GtkWindow* confirm = ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).front();
             gtk_dialog_response(GTK_DIALOG(confirm), GTK_RESPONSE_ACCEPT);
         });
    ASSERT_TRUE(dialog.Execute());
    EXPECT_TRUE(asked);
    EXPECT_EQ(dialog.FileName(), dir / "report.txt");

    // Without the option: no question.
    dialog.SetOptions(0);
    asked = false;
    bool noQuestion = false;
    When(ChooserShown, pressSave);
    When([] { return !ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).empty(); }, [&] { asked = true; }, 1500,
         &noQuestion);
    ASSERT_TRUE(dialog.Execute());
    Pump(1600);
    EXPECT_FALSE(asked);
    EXPECT_TRUE(noQuestion);
    // A new name in the folder.
    dialog.SetFileName(dir / "new.txt");
    When(ChooserShown, pressSave);
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.FileName(), dir / "new.txt");
}

// A name typed without an extension gets the default one, and the question
// about replacing is asked for the completed name, which exists.
TEST(UiDialogs, SaveDialogCompletesTheExtensionAndAsksAboutThatName) {
    TempDir dir;
    WriteFile(dir / "report.txt", "old");
    TFileSaveDialog dialog;
    dialog.SetFileName(dir / "report");
    dialog.SetDefaultExtension("txt");
    dialog.SetOptions(fdoOverWritePrompt);
    std::string question;
    When(ChooserShown, [] {
        ClickWidget(gtk_dialog_get_widget_for_response(GTK_DIALOG(ChooserDialog()), GTK_RESPONSE_ACCEPT));
    });
    When([] { return !ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).empty(); },
         [&] {
             GtkWindow* confirm = ToplevelsOfType(GTK_TYPE_MESSAGE_DIALOG).front();
             gchar* text = nullptr;
             g_object_get(confirm, "text", &text, nullptr);
             question = text ? text : "";
             g_free(text);
             gtk_dialog_response(GTK_DIALOG(confirm), mrYes);
         });
    ASSERT_TRUE(dialog.Execute());
    EXPECT_NE(question.find("report.txt"), std::string::npos) << question;
    EXPECT_EQ(dialog.FileName(), dir / "report.txt");
    EXPECT_EQ(dialog.Files(), std::vector<std::string>{dialog.FileName()});
}
