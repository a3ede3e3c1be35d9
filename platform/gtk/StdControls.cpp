// Standard controls on GTK.
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/ControlParts.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ImageList.h"

#include <cmath>
#include <functional>

namespace Norvane::Platform::Ui {

using namespace Gtk;

namespace {

constexpr double Pi = 3.14159265358979323846;

void OnButtonClicked(GtkButton*, gpointer Data) {
    Guard([&] { static_cast<TButton*>(Data)->Click(); });
}

void OnEditChanged(GtkEditable*, gpointer Data) {
    Guard([&] {
        auto* edit = static_cast<TEdit*>(Data);
        if (edit->OnChange)
            edit->OnChange(edit);
    });
}

gboolean OnEditKey(GtkWidget*, GdkEventKey* Event, gpointer Data) {
    return GuardOr<gboolean>(FALSE, [&]() -> gboolean {
        auto* edit = static_cast<TEdit*>(Data);
        bool release = Event->type == GDK_KEY_RELEASE;
        TKeyEvent& handler = release ? edit->OnKeyUp : edit->OnKeyDown;
        if (!handler)
            return FALSE;
        TWMKey message = NativeKeyEventToMessage(Event);
        std::uint16_t key = message.CharCode;
        handler(edit, key, NativeStateToShiftState(Event->state));
        return key == 0 ? TRUE : FALSE;
    });
}

void OnEditIconPress(GtkEntry*, GtkEntryIconPosition Position, GdkEvent*, gpointer Data) {
    Guard([&] {
        auto* edit = static_cast<TEdit*>(Data);
        if (Position == GTK_ENTRY_ICON_PRIMARY && edit->OnLeftButtonClick)
            edit->OnLeftButtonClick(edit);
    });
}

gboolean OnTimer(gpointer Data) {
    Guard([&] { (*static_cast<std::function<void()>*>(Data))(); });
    return G_SOURCE_CONTINUE;
}

void FreeTimerPiece(gpointer Data) {
    delete static_cast<std::function<void()>*>(Data);
}

gboolean OnIndicatorDraw(GtkWidget*, cairo_t* Cairo, gpointer Data) {
    Guard([&] { static_cast<TActivityIndicator*>(Data)->Draw(Cairo); });
    return FALSE;
}

} // namespace

unsigned ControlParts::StartTimer(unsigned Milliseconds, std::function<void()> Piece) {
    return g_timeout_add_full(G_PRIORITY_DEFAULT, Milliseconds, OnTimer,
                              new std::function<void()>(std::move(Piece)), FreeTimerPiece);
}

void ControlParts::StopTimer(unsigned Id) {
    if (Id)
        g_source_remove(Id);
}

// TLabel.

TLabel::TLabel(TComponent* AOwner) : TControl(AOwner, NewWidget([] { return gtk_label_new(nullptr); })) {
    gtk_label_set_xalign(GTK_LABEL(FWidget), 0.0f);
    gtk_label_set_yalign(GTK_LABEL(FWidget), 0.0f);
}

std::string TLabel::Caption() const {
    return gtk_label_get_text(GTK_LABEL(FWidget));
}
void TLabel::SetCaption(const std::string& Value) {
    gtk_label_set_text(GTK_LABEL(FWidget), Value.c_str());
}
void TLabel::SetWordWrap(bool Value) {
    gtk_label_set_line_wrap(GTK_LABEL(FWidget), Value);
    gtk_label_set_max_width_chars(GTK_LABEL(FWidget), Value ? 1 : -1);
}

// TButton.

TButton::TButton(TComponent* AOwner)
    : TWinControl(AOwner, NewWidget([] { return gtk_button_new_with_label(""); }), nullptr) {
    gtk_button_set_use_underline(GTK_BUTTON(FWidget), TRUE);
    SetTabStop(true);
    Connect(FWidget, "clicked", OnButtonClicked, this);
}

std::string TButton::Caption() const {
    const char* label = gtk_button_get_label(GTK_BUTTON(FWidget));
    std::string text = label ? label : "";
    // Back from the toolkit's mnemonic form to "&" captions.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            if (i + 1 < text.size() && text[i + 1] == '_') {
                out += '_';
                ++i;
            } else {
                out += '&';
            }
        } else if (text[i] == '&') {
            out += "&&";
        } else {
            out += text[i];
        }
    }
    return out;
}

void TButton::SetCaption(const std::string& Value) {
    gtk_button_set_label(GTK_BUTTON(FWidget), MnemonicFromCaption(Value).c_str());
}

void TButton::SetDefault(bool Value) {
    FDefault = Value;
    gtk_widget_set_can_default(W(FWidget), Value);
    if (Value) {
        gtk_widget_grab_default(W(FWidget));
        gtk_style_context_add_class(gtk_widget_get_style_context(W(FWidget)), "suggested-action");
    }
}

// TEdit.

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner, NewWidget(gtk_entry_new), nullptr) {
    SetTabStop(true);
    Connect(FWidget, "changed", OnEditChanged, this);
    Connect(FWidget, "key-press-event", OnEditKey, this);
    Connect(FWidget, "key-release-event", OnEditKey, this);
    Connect(FWidget, "icon-press", OnEditIconPress, this);
}

std::string TEdit::Text() const {
    return gtk_entry_get_text(GTK_ENTRY(FWidget));
}
void TEdit::SetText(const std::string& Value) {
    gtk_entry_set_text(GTK_ENTRY(FWidget), Value.c_str());
}

void TEdit::SetPasswordChar(char32_t Value) {
    FPasswordChar = Value;
    gtk_entry_set_visibility(GTK_ENTRY(FWidget), Value == 0);
    if (Value != 0)
        gtk_entry_set_invisible_char(GTK_ENTRY(FWidget), static_cast<gunichar>(Value));
    gtk_entry_set_input_purpose(GTK_ENTRY(FWidget),
                                Value ? GTK_INPUT_PURPOSE_PASSWORD : GTK_INPUT_PURPOSE_FREE_FORM);
}

void TEdit::UpdateLeftButton() {
    auto* entry = GTK_ENTRY(FWidget);
    TCustomImageList* images = FImagesNotifier.expired() ? nullptr : FImages;
    if (FLeftButtonVisible && images && FLeftButtonImageIndex >= 0 &&
        FLeftButtonImageIndex < images->Count()) {
        GdkPixbuf* pixbuf = BitmapToPixbuf(images->GetBitmap(FLeftButtonImageIndex, Enabled()));
        gtk_entry_set_icon_from_pixbuf(entry, GTK_ENTRY_ICON_PRIMARY, pixbuf);
        gtk_entry_set_icon_activatable(entry, GTK_ENTRY_ICON_PRIMARY, TRUE);
        g_object_unref(pixbuf);
    } else if (FLeftButtonVisible) {
        gtk_entry_set_icon_from_icon_name(entry, GTK_ENTRY_ICON_PRIMARY, "image-missing");
    } else {
        gtk_entry_set_icon_from_pixbuf(entry, GTK_ENTRY_ICON_PRIMARY, nullptr);
    }
}

// TProgressBar.

TProgressBar::TProgressBar(TComponent* AOwner)
    : TWinControl(AOwner, NewWidget(gtk_progress_bar_new), nullptr) {
    gtk_style_context_add_class(gtk_widget_get_style_context(W(FWidget)), "norvane-thin");
    gtk_progress_bar_set_pulse_step(GTK_PROGRESS_BAR(FWidget), 0.04);
    SetBounds(0, 0, 150, 17);
    UpdateFraction();
}

void TProgressBar::SetStyle(TProgressBarStyle Value) {
    FStyle = Value;
    UpdateFraction();
    UpdateTimer();
}

void TProgressBar::SetMarqueeInterval(int Value) {
    FMarqueeInterval = std::max(Value, 1);
    ControlParts::StopTimer(FTimer);
    FTimer = 0;
    UpdateTimer();
}

void TProgressBar::UpdateFraction() {
    if (FStyle == TProgressBarStyle::pbstNormal) {
        double span = FMax - FMin;
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(FWidget), span > 0 ? (FPosition - FMin) / span : 0.0);
    } else if (!FTimer) {
        // A marquee at rest leaves GTK's pulse mode: its tick callback would
        // keep the window's frame clock running, 60 wakeups a second, also
        // while the bar is hidden.
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(FWidget), 0.0);
    }
}

void TProgressBar::MarqueeTick() {
    if (!gtk_widget_get_mapped(W(FWidget)))
        return;
    gtk_progress_bar_pulse(GTK_PROGRESS_BAR(FWidget));
    ++FMarqueeSteps;
}

// TActivityIndicator.

TActivityIndicator::TActivityIndicator(TComponent* AOwner)
    : TWinControl(AOwner, NewWidget(gtk_drawing_area_new), nullptr) {
    Connect(FWidget, "draw", OnIndicatorDraw, this);
    SetIndicatorSize(TActivityIndicatorSize::aisMedium);
    UpdateTimer();
}

void TActivityIndicator::SetIndicatorType(TActivityIndicatorType Value) {
    FType = Value;
    gtk_widget_queue_draw(W(FWidget));
}

void TActivityIndicator::SetIndicatorColor(TActivityIndicatorColor Value) {
    FIndicatorColor = Value;
    gtk_widget_queue_draw(W(FWidget));
}

void TActivityIndicator::SetIndicatorSize(TActivityIndicatorSize Value) {
    FSize = Value;
    int size = SizeInPixels(Value);
    gtk_widget_set_size_request(W(FWidget), size, size);
    SetBounds(Left(), Top(), size, size);
}

void TActivityIndicator::NextFrame() {
    if (!gtk_widget_get_mapped(W(FWidget)))
        return;
    FFrame = (FFrame + 1) % FrameCount;
    gtk_widget_queue_draw(W(FWidget));
}

void TActivityIndicator::Draw(void* CairoContext) const {
    auto* cr = static_cast<cairo_t*>(CairoContext);
    double size = std::min(Width(), Height());
    if (size <= 0)
        size = SizeInPixels(FSize);
    double c = FIndicatorColor == TActivityIndicatorColor::aicWhite ? 1.0 : 0.0;
    double t = static_cast<double>(FFrame) / FrameCount; // 0 .. 1 over one cycle
    double cx = size / 2, cy = size / 2;
    switch (FType) {
    case TActivityIndicatorType::aitMomentumDots:
        for (const auto& dot : ControlParts::MomentumDots(size, t)) {
            cairo_set_source_rgba(cr, c, c, c, 1.0);
            cairo_arc(cr, dot.X, dot.Y, dot.Radius, 0, 2 * Pi);
            cairo_fill(cr);
        }
        break;
    case TActivityIndicatorType::aitRotatingSector: {
        // A faint ring with a quarter of it drawn solid, turning.
        double radius = size * 0.38, width = size * 0.1;
        cairo_set_line_width(cr, width);
        cairo_set_source_rgba(cr, c, c, c, 0.25);
        cairo_arc(cr, cx, cy, radius, 0, 2 * Pi);
        cairo_stroke(cr);
        double start = ControlParts::SectorStart(t);
        cairo_set_source_rgba(cr, c, c, c, 1.0);
        cairo_arc(cr, cx, cy, radius, start, start + Pi / 2);
        cairo_stroke(cr);
        break;
    }
    case TActivityIndicatorType::aitSectorRing: {
        double inner = size * 0.24, outer = size * 0.45;
        for (const auto& sector : ControlParts::RingSectors(t)) {
            cairo_set_source_rgba(cr, c, c, c, sector.Alpha);
            cairo_new_path(cr);
            cairo_arc(cr, cx, cy, outer, sector.From, sector.To);
            cairo_arc_negative(cr, cx, cy, inner, sector.To, sector.From);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
        break;
    }
    }
}

// TImage.

TImage::TImage(TComponent* AOwner) : TControl(AOwner, NewWidget(gtk_image_new)) {}

void TImage::SetIconName(const std::string& Name, int Size) {
    FIconName = Name;
    FPicture = TBitmap();
    gtk_image_set_from_icon_name(GTK_IMAGE(FWidget), Name.c_str(), GTK_ICON_SIZE_DIALOG);
    gtk_image_set_pixel_size(GTK_IMAGE(FWidget), Size);
}

void TImage::UpdateNative() {
    if (!FIconName.empty())
        return;
    if (FPicture.Empty()) {
        gtk_image_clear(GTK_IMAGE(FWidget));
        return;
    }
    TBitmap shown = FStretch && Width() > 0 && Height() > 0 ? FPicture.Scaled(Width(), Height()) : FPicture;
    GdkPixbuf* pixbuf = BitmapToPixbuf(shown);
    gtk_image_set_from_pixbuf(GTK_IMAGE(FWidget), pixbuf);
    g_object_unref(pixbuf);
}

} // namespace Norvane::Platform::Ui
