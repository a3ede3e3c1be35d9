// Dialogs on GTK.
#include "platform/ui/Dialogs.h"
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/Application.h"
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

struct TButtonInfo {
    TMsgDlgBtn Button;
    const char* Caption;
    TModalResult Result;
};

// The fixed order in which the dialog creates its buttons.
const TButtonInfo ButtonOrder[] = {
    {TMsgDlgBtn::mbYes, "&Yes", mrYes},
    {TMsgDlgBtn::mbNo, "&No", mrNo},
    {TMsgDlgBtn::mbOK, "OK", mrOk},
    {TMsgDlgBtn::mbCancel, "Cancel", mrCancel},
    {TMsgDlgBtn::mbAbort, "&Abort", mrAbort},
    {TMsgDlgBtn::mbRetry, "&Retry", mrRetry},
    {TMsgDlgBtn::mbIgnore, "&Ignore", mrIgnore},
    {TMsgDlgBtn::mbAll, "&All", mrAll},
    {TMsgDlgBtn::mbNoToAll, "N&o to All", mrNoToAll},
    {TMsgDlgBtn::mbYesToAll, "Yes to &All", mrYesToAll},
    {TMsgDlgBtn::mbHelp, "&Help", mrHelp},
    {TMsgDlgBtn::mbClose, "&Close", mrClose},
};

const char* TypeCaption(TMsgDlgType Type) {
    switch (Type) {
    case TMsgDlgType::mtWarning:
        return "Warning";
    case TMsgDlgType::mtError:
        return "Error";
    case TMsgDlgType::mtInformation:
        return "Information";
    case TMsgDlgType::mtConfirmation:
        return "Confirm";
    case TMsgDlgType::mtCustom:
        break;
    }
    return "";
}

const char* TypeIcon(TMsgDlgType Type) {
    switch (Type) {
    case TMsgDlgType::mtWarning:
        return "dialog-warning";
    case TMsgDlgType::mtError:
        return "dialog-error";
    case TMsgDlgType::mtInformation:
        return "dialog-information";
    case TMsgDlgType::mtConfirmation:
        return "dialog-question";
    case TMsgDlgType::mtCustom:
        break;
    }
    return nullptr;
}

class TMessageForm : public TForm {
public:
    explicit TMessageForm(TComponent* AOwner) : TForm(AOwner) {}
    TMsgDlgType Kind = TMsgDlgType::mtCustom;

protected:
    void DoShow() override {
        TForm::DoShow();
        if (Kind == TMsgDlgType::mtError || Kind == TMsgDlgType::mtWarning)
            if (GdkDisplay* display = gdk_display_get_default())
                gdk_display_beep(display);
    }
};

std::vector<TCustomFileDialog*>& RunningDialogs() {
    static std::vector<TCustomFileDialog*> dialogs;
    return dialogs;
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

std::string Trim(const std::string& Text) {
    auto b = Text.find_first_not_of(" \t");
    auto e = Text.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : Text.substr(b, e - b + 1);
}

} // namespace

TModalResult ButtonModalResult(TMsgDlgBtn Button) {
    for (const auto& info : ButtonOrder)
        if (info.Button == Button)
            return info.Result;
    return mrNone;
}

TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
    EnsureToolkit();
    auto* form = new TMessageForm(&Application());
    form->Kind = DlgType;
    form->SetBorderStyle(TBorderStyle::bsDialog);
    form->SetPosition(TPosition::poScreenCenter);
    std::string caption = TypeCaption(DlgType);
    form->SetCaption(caption.empty() ? Application().Title() : caption);

    const int margin = 16, iconSize = 48, gap = 12, buttonGap = 8;
    int textLeft = margin;
    if (const char* iconName = TypeIcon(DlgType)) {
        auto* icon = new TImage(form);
        icon->SetParent(form);
        icon->SetIconName(iconName, iconSize);
        icon->SetBounds(margin, margin, iconSize, iconSize);
        textLeft = margin + iconSize + gap;
    }
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetCaption(Msg);
    // Measure the text with the label's own font, wrapped at a sensible width.
    PangoLayout* layout = gtk_widget_create_pango_layout(W(label->Widget()), Msg.c_str());
    pango_layout_set_width(layout, 400 * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    int textW = 0, textH = 0;
    pango_layout_get_pixel_size(layout, &textW, &textH);
    g_object_unref(layout);
    gtk_label_set_line_wrap(GTK_LABEL(label->Widget()), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label->Widget()), PANGO_WRAP_WORD_CHAR);
    gtk_widget_set_size_request(W(label->Widget()), textW + 2, -1);
    label->SetBounds(textLeft, margin, textW + 2, textH);

    if (Buttons.Empty())
        Buttons.Include(TMsgDlgBtn::mbOK);
    TMsgDlgBtn defaultButton = Buttons.Contains(TMsgDlgBtn::mbOK)    ? TMsgDlgBtn::mbOK
                               : Buttons.Contains(TMsgDlgBtn::mbYes) ? TMsgDlgBtn::mbYes
                                                                     : TMsgDlgBtn::mbHelp;
    TMsgDlgBtn cancelButton = Buttons.Contains(TMsgDlgBtn::mbCancel) ? TMsgDlgBtn::mbCancel
                              : Buttons.Contains(TMsgDlgBtn::mbNo)   ? TMsgDlgBtn::mbNo
                                                                     : TMsgDlgBtn::mbOK;
    bool hasCancel = Buttons.Contains(cancelButton);
    bool defaultSet = false;
    std::vector<TButton*> buttons;
    for (const auto& info : ButtonOrder) {
        if (!Buttons.Contains(info.Button))
            continue;
        auto* button = new TButton(form);
        button->SetParent(form);
        button->SetCaption(info.Caption);
        button->SetModalResult(info.Result);
        if (info.Button == defaultButton || (!Buttons.Contains(defaultButton) && !defaultSet)) {
            button->SetDefault(true);
            defaultSet = true;
        }
        if (info.Button == cancelButton)
            button->SetCancel(true);
        buttons.push_back(button);
    }
    int buttonH = 30, buttonsW = 0;
    for (TButton* b : buttons) {
        int minW = 0, natW = 0, minH = 0, natH = 0;
        gtk_widget_get_preferred_width(W(b->Widget()), &minW, &natW);
        gtk_widget_get_preferred_height(W(b->Widget()), &minH, &natH);
        buttonH = std::max(buttonH, natH);
        b->SetWidth(std::max(88, natW + 8));
        buttonsW += b->Width();
    }
    buttonsW += buttonGap * (static_cast<int>(buttons.size()) - 1);
    int contentH = std::max(textH, TypeIcon(DlgType) ? iconSize : 0);
    int clientW = std::max(textLeft + textW + 2 + margin, buttonsW + 2 * margin);
    clientW = std::max(clientW, 260);
    int buttonsTop = margin + contentH + 20;
    int x = clientW - margin - buttonsW;
    for (TButton* b : buttons) {
        b->SetBounds(x, buttonsTop, b->Width(), buttonH);
        x += b->Width() + buttonGap;
    }
    form->SetClientSize(clientW, buttonsTop + buttonH + margin);
    form->SetKeyPreview(true);
    form->OnKeyDown = [form, hasCancel](TObject*, std::uint16_t& Key, TShiftState) {
        // Without a cancel button Escape closes like the close box.
        if (Key == VK_ESCAPE && !hasCancel) {
            Key = 0;
            form->SetModalResult(mrCancel);
        }
    };
    if (!buttons.empty())
        for (TButton* b : buttons)
            if (b->Default())
                form->SetActiveControl(b);
    return form;
}

TModalResult MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
    TForm* dialog = CreateMessageDialog(Msg, DlgType, Buttons);
    TModalResult result = mrCancel;
    try {
        result = dialog->ShowModal();
    } catch (...) {
        delete dialog;
        throw;
    }
    delete dialog;
    return result;
}

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

TCustomFileDialog* RunningFileDialog() {
    return RunningDialogs().empty() ? nullptr : RunningDialogs().back();
}

bool TCustomFileDialog::Execute(TCustomForm* OwnerForm) {
    EnsureToolkit();
    if (FExecuting)
        throw EUiError("The dialog is already open");
    FFiles.clear();
    TCustomForm* owner = OwnerForm ? OwnerForm : Application().ActiveForm();
    GtkWindow* parent = owner && !owner->IsEmbedded() ? GTK_WINDOW(owner->NativeWindow()) : nullptr;
    std::string title = FTitle;
    GtkFileChooserNative* native = gtk_file_chooser_native_new(
        title.c_str(), parent, FSave ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
        FSave ? "_Save" : "_Open", "_Cancel");
    auto* chooser = GTK_FILE_CHOOSER(native);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(native), TRUE);
    for (const auto& type : FFileTypes) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, type.DisplayName.c_str());
        std::string masks = type.FileMask;
        std::size_t start = 0;
        for (;;) {
            std::size_t end = masks.find(';', start);
            std::string mask =
                Trim(masks.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (!mask.empty())
                gtk_file_filter_add_pattern(filter, CaseInsensitivePattern(mask).c_str());
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
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
    std::string extension = FDefaultExtension;
    extension.erase(0, std::min(extension.find_first_not_of('.'), extension.size()));
    std::vector<std::string> files;
    for (;;) {
        FExecuting = true;
        FNative = native;
        RunningDialogs().push_back(this);
        gint response = gtk_native_dialog_run(GTK_NATIVE_DIALOG(native));
        RunningDialogs().erase(std::find(RunningDialogs().begin(), RunningDialogs().end(), this));
        FExecuting = false;
        FNative = nullptr;
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
    if (files.empty())
        return false;
    FFileName = files.front();
    FFiles = std::move(files);
    return true;
}

} // namespace Norvane::Platform::Ui
