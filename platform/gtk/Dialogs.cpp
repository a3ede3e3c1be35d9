// Dialogs on GTK: the toolkit's part of the message dialog
// (platform/ui/DialogParts.h), message boxes and the file chooser.
#include "platform/ui/Dialogs.h"
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/Application.h"
#include "platform/ui/DialogParts.h"
#include "platform/ui/Styles.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace Norvane::Platform::Ui {

using namespace Gtk;

namespace {

// Message boxes are drawn in the active style while dialogs are in the style
// engine's hooks: the style class and, with a style, a title bar of their own.
void StyleDialog(GtkWindow* Dialog) {
    if (!(TStyleManager::SystemHooks() & shDialogs))
        return;
    gtk_style_context_add_class(gtk_widget_get_style_context(GTK_WIDGET(Dialog)), StyledWindowClass);
    SetStyledTitleBar(Dialog, StyleDrawsTitleBars(), ":close");
}

// A Windows mask ("*.txt") as a pattern matching without regard to case.
std::string CaseInsensitivePattern(const std::string& Mask) {
    if (Mask == "*.*")
        return "*";
    std::string out;
    for (char c : Mask) {
        if (g_ascii_isalpha(c)) {
            out += '[';
            out += g_ascii_tolower(c);
            out += g_ascii_toupper(c);
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

namespace DialogParts {

void EnsureStarted() {
    EnsureToolkit();
}

void Alert(TMsgDlgType Type) {
    if (Type == TMsgDlgType::mtError || Type == TMsgDlgType::mtWarning)
        if (GdkDisplay* display = gdk_display_get_default())
            gdk_display_beep(display);
}

int IconSize() {
    return 48;
}

void SetTypeIcon(TImage* Image, TMsgDlgType Type) {
    const char* name = "dialog-question";
    switch (Type) {
    case TMsgDlgType::mtWarning:
        name = "dialog-warning";
        break;
    case TMsgDlgType::mtError:
        name = "dialog-error";
        break;
    case TMsgDlgType::mtInformation:
        name = "dialog-information";
        break;
    case TMsgDlgType::mtConfirmation:
    case TMsgDlgType::mtCustom:
        break;
    }
    Image->SetIconName(name, IconSize());
}

void WrapMessage(TLabel* Label, const std::string& Msg, int MaxWidth, int& Width, int& Height) {
    PangoLayout* layout = gtk_widget_create_pango_layout(W(Label->Widget()), Msg.c_str());
    pango_layout_set_width(layout, MaxWidth * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_get_pixel_size(layout, &Width, &Height);
    g_object_unref(layout);
    gtk_label_set_line_wrap(GTK_LABEL(Label->Widget()), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(Label->Widget()), PANGO_WRAP_WORD_CHAR);
    gtk_widget_set_size_request(W(Label->Widget()), Width + 2, -1);
}

void ButtonSize(TButton* Button, int& Width, int& Height) {
    int minW = 0, natW = 0, minH = 0, natH = 0;
    gtk_widget_get_preferred_width(W(Button->Widget()), &minW, &natW);
    gtk_widget_get_preferred_height(W(Button->Widget()), &minH, &natH);
    Width = natW + 8;
    Height = std::max(30, natH);
}

} // namespace DialogParts

TModalResult MessageBox(const std::string& Text, const std::string& Caption, TMessageBoxIcon Icon,
                        TMessageBoxKind Kind) {
    EnsureToolkit();
    GtkMessageType type = GTK_MESSAGE_OTHER;
    switch (Icon) {
    case TMessageBoxIcon::Error:
        type = GTK_MESSAGE_ERROR;
        break;
    case TMessageBoxIcon::Warning:
        type = GTK_MESSAGE_WARNING;
        break;
    case TMessageBoxIcon::Information:
        type = GTK_MESSAGE_INFO;
        break;
    case TMessageBoxIcon::Question:
        type = GTK_MESSAGE_QUESTION;
        break;
    case TMessageBoxIcon::None:
        break;
    }
    TCustomForm* active = Application().ActiveForm();
    GtkWindow* parent = active && !active->IsEmbedded() ? GTK_WINDOW(active->NativeWindow()) : nullptr;
    GtkWidget* dialog =
        gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s", Text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), Caption.c_str());
    StyleDialog(GTK_WINDOW(dialog));
    gtk_window_set_position(GTK_WINDOW(dialog), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    switch (Kind) {
    case TMessageBoxKind::Ok:
        gtk_dialog_add_button(GTK_DIALOG(dialog), "_OK", mrOk);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), mrOk);
        break;
    case TMessageBoxKind::OkCancel:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_OK", mrOk, "_Cancel", mrCancel, nullptr);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), mrOk);
        break;
    case TMessageBoxKind::YesNo:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_Yes", mrYes, "_No", mrNo, nullptr);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), mrYes);
        break;
    case TMessageBoxKind::YesNoCancel:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_Yes", mrYes, "_No", mrNo, "_Cancel", mrCancel, nullptr);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), mrYes);
        break;
    }
    gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    if (response == GTK_RESPONSE_DELETE_EVENT || response == GTK_RESPONSE_CANCEL || response < 0)
        return Kind == TMessageBoxKind::YesNo ? mrNo : (Kind == TMessageBoxKind::Ok ? mrOk : mrCancel);
    return response;
}

void ShowMessage(const std::string& Text) {
    EnsureToolkit();
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO, GTK_BUTTONS_OK,
                                               "%s", Text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), Application().Title().c_str());
    StyleDialog(GTK_WINDOW(dialog));
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

// File dialogs.

std::vector<std::string> TCustomFileDialog::RunNative(TCustomForm* Owner) {
    GtkWindow* parent = Owner && !Owner->IsEmbedded() ? GTK_WINDOW(Owner->NativeWindow()) : nullptr;
    std::string title = FTitle;
    GtkFileChooserNative* native = gtk_file_chooser_native_new(
        title.c_str(), parent, FSave ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
        FSave ? "_Save" : "_Open", "_Cancel");
    auto* chooser = GTK_FILE_CHOOSER(native);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(native), TRUE);
    for (const auto& type : FFileTypes) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, type.DisplayName.c_str());
        for (const std::string& mask : DialogParts::FileMasks(type.FileMask))
            gtk_file_filter_add_pattern(filter, CaseInsensitivePattern(mask).c_str());
        gtk_file_chooser_add_filter(chooser, filter); // takes the filter
    }
    if (!FFileName.empty()) {
        std::filesystem::path path(FFileName);
        std::error_code ec;
        if (path.has_parent_path() && std::filesystem::is_directory(path.parent_path(), ec))
            gtk_file_chooser_set_current_folder(chooser, path.parent_path().string().c_str());
        if (FSave)
            gtk_file_chooser_set_current_name(chooser, path.filename().string().c_str());
        else if (path.is_absolute() && std::filesystem::exists(path, ec))
            gtk_file_chooser_set_filename(chooser, path.string().c_str());
    }
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, FSave && (FOptions & fdoOverWritePrompt));
    gtk_file_chooser_set_select_multiple(chooser, !FSave && (FOptions & fdoAllowMultiSelect));
    const std::string extension = DialogParts::BareExtension(FDefaultExtension);
    std::vector<std::string> files;
    for (;;) {
        gint response = GTK_RESPONSE_NONE;
        {
            DialogParts::TRunningScope running(this, FExecuting, FNative, native);
            response = gtk_native_dialog_run(GTK_NATIVE_DIALOG(native));
        }
        if (response != GTK_RESPONSE_ACCEPT)
            break;
        GSList* names = gtk_file_chooser_get_filenames(chooser);
        for (GSList* n = names; n; n = n->next)
            files.emplace_back(static_cast<char*>(n->data));
        g_slist_free_full(names, g_free);
        if (!FSave || extension.empty() || files.empty() ||
            std::filesystem::path(files.front()).has_extension())
            break;
        // A name typed without an extension gets the default one; the
        // chooser asked about the name as typed, so ask about this one.
        files.front() += "." + extension;
        std::error_code ec;
        if (!(FOptions & fdoOverWritePrompt) || !std::filesystem::exists(files.front(), ec))
            break;
        std::string name = std::filesystem::path(files.front()).filename().string();
        if (MessageBox(name + " already exists.\nDo you want to replace it?", FTitle,
                       TMessageBoxIcon::Warning, TMessageBoxKind::YesNo) == mrYes)
            break;
        gtk_file_chooser_set_current_name(chooser, name.c_str());
        files.clear();
    }
    g_object_unref(native);
    return files;
}

} // namespace Norvane::Platform::Ui
