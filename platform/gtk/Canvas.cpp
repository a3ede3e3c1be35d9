// The canvas on cairo and Pango over an image surface.
#include "platform/ui/Canvas.h"
#include "platform/gtk/GtkInternal.h"

#include <algorithm>
#include <cmath>

namespace Norvane::Platform::Ui {

struct TCanvas::TImpl {
    TBitmap* Target = nullptr;
    cairo_surface_t* Surface = nullptr;
    cairo_t* Cr = nullptr;
};

namespace {

void SetColor(cairo_t* Cr, TRgb C) {
    cairo_set_source_rgb(Cr, C.R / 255.0, C.G / 255.0, C.B / 255.0);
}

} // namespace

TCanvas::TCanvas(TBitmap& Target) : FImpl(std::make_unique<TImpl>()) {
    FImpl->Target = &Target;
    const int w = Target.Width(), h = Target.Height();
    FImpl->Surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(w, 1), std::max(h, 1));
    unsigned char* data = cairo_image_surface_get_data(FImpl->Surface);
    const int stride = cairo_image_surface_get_stride(FImpl->Surface);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = Target.Pixel(x, y);
            auto* q = reinterpret_cast<std::uint32_t*>(data + y * stride) + x;
            const unsigned a = p[3];
            *q = (a << 24) | ((p[0] * a / 255) << 16) | ((p[1] * a / 255) << 8) | (p[2] * a / 255);
        }
    cairo_surface_mark_dirty(FImpl->Surface);
    FImpl->Cr = cairo_create(FImpl->Surface);
}

TCanvas::~TCanvas() {
    Flush();
    cairo_destroy(FImpl->Cr);
    cairo_surface_destroy(FImpl->Surface);
}

void TCanvas::FillRect(const TRect& R, TRgb Color) {
    SetColor(FImpl->Cr, Color);
    cairo_rectangle(FImpl->Cr, R.Left, R.Top, R.Width(), R.Height());
    cairo_fill(FImpl->Cr);
}

void TCanvas::FillGradient(const TRect& R, TRgb From, TRgb To) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, R.Top, 0, R.Bottom);
    cairo_pattern_add_color_stop_rgb(p, 0, From.R / 255.0, From.G / 255.0, From.B / 255.0);
    cairo_pattern_add_color_stop_rgb(p, 1, To.R / 255.0, To.G / 255.0, To.B / 255.0);
    cairo_set_source(FImpl->Cr, p);
    cairo_rectangle(FImpl->Cr, R.Left, R.Top, R.Width(), R.Height());
    cairo_fill(FImpl->Cr);
    cairo_pattern_destroy(p);
}

void TCanvas::RoundRect(const TRect& R, int Radius, TRgb Fill, TRgb Border) {
    cairo_t* cr = FImpl->Cr;
    const double x = R.Left + 0.5, y = R.Top + 0.5, w = R.Width() - 1.0, h = R.Height() - 1.0;
    const double r = std::clamp(static_cast<double>(Radius), 0.0, std::min(w, h) / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
    SetColor(cr, Fill);
    cairo_fill_preserve(cr);
    SetColor(cr, Border);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

void TCanvas::Line(double X1, double Y1, double X2, double Y2, TRgb Color, double Width) {
    SetColor(FImpl->Cr, Color);
    cairo_set_line_width(FImpl->Cr, Width);
    cairo_move_to(FImpl->Cr, X1, Y1);
    cairo_line_to(FImpl->Cr, X2, Y2);
    cairo_stroke(FImpl->Cr);
}

void TCanvas::TextRect(const TRect& R, const std::string& Text, TRgb Color, TTextAlign Align, bool Bold) {
    cairo_t* cr = FImpl->Cr;
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string(Bold ? "Sans Bold 9" : "Sans 9");
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, Text.c_str(), -1);
    pango_layout_set_single_paragraph_mode(layout, TRUE);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    pango_layout_set_width(layout, std::max(0, R.Width()) * PANGO_SCALE);
    pango_layout_set_alignment(layout, Align == TTextAlign::taCenter ? PANGO_ALIGN_CENTER : PANGO_ALIGN_LEFT);
    int tw = 0, th = 0;
    pango_layout_get_pixel_size(layout, &tw, &th);
    cairo_save(cr);
    cairo_rectangle(cr, R.Left, R.Top, R.Width(), R.Height());
    cairo_clip(cr);
    SetColor(cr, Color);
    cairo_move_to(cr, R.Left, R.Top + (R.Height() - th) / 2.0);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
    g_object_unref(layout);
}

void TCanvas::Flush() {
    cairo_surface_flush(FImpl->Surface);
    TBitmap& target = *FImpl->Target;
    const unsigned char* data = cairo_image_surface_get_data(FImpl->Surface);
    const int stride = cairo_image_surface_get_stride(FImpl->Surface);
    for (int y = 0; y < target.Height(); ++y)
        for (int x = 0; x < target.Width(); ++x) {
            const std::uint32_t v = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
            const unsigned a = v >> 24;
            std::uint8_t* p = target.Pixel(x, y);
            auto un = [a](unsigned c) {
                return static_cast<std::uint8_t>(a ? std::min(255u, c * 255 / a) : 0);
            };
            p[0] = un((v >> 16) & 0xFF);
            p[1] = un((v >> 8) & 0xFF);
            p[2] = un(v & 0xFF);
            p[3] = static_cast<std::uint8_t>(a);
        }
}

} // namespace Norvane::Platform::Ui
