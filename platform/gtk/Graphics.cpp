// Colours from the theme and pictures through gdk-pixbuf.
#include "platform/ui/Graphics.h"
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/GraphicsParts.h"

#include <algorithm>
#include <cstring>

namespace Norvane::Platform::Ui {
namespace {

// The classic values of the system colours 0-30 (0x00BBGGRR).
const TColor ClassicColors[31] = {0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464,
                                  0x000000, 0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xD77800,
                                  0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF,
                                  0x696969, 0xE3E3E3, 0x000000, 0xE1FFFF, 0x000000, 0xCC6600, 0xEAD1B9,
                                  0xF2E4D7, 0xFF9933, 0xF0F0F0};

// The theme's nearest named colour for each system colour (null: classic value).
const char* ThemeNames[31] = {"theme_bg_color",
                              nullptr,
                              "theme_selected_bg_color",
                              "theme_unfocused_bg_color",
                              "theme_bg_color",
                              "theme_base_color",
                              "borders",
                              "theme_fg_color",
                              "theme_text_color",
                              "theme_selected_fg_color",
                              "borders",
                              "unfocused_borders",
                              "theme_bg_color",
                              "theme_selected_bg_color",
                              "theme_selected_fg_color",
                              "theme_bg_color",
                              "borders",
                              "insensitive_fg_color",
                              "theme_fg_color",
                              "theme_unfocused_fg_color",
                              "theme_base_color",
                              "borders",
                              "theme_bg_color",
                              "theme_tooltip_fg_color",
                              "theme_tooltip_bg_color",
                              nullptr,
                              "theme_selected_bg_color",
                              "theme_selected_bg_color",
                              "theme_unfocused_bg_color",
                              "theme_selected_bg_color",
                              "theme_bg_color"};

GtkStyleContext* ThemeContext() {
    static GtkWidget* probe = nullptr;
    if (!probe) {
        probe = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        g_object_ref_sink(probe);
    }
    return gtk_widget_get_style_context(probe);
}

std::uint8_t Channel(double Value) {
    double v = Value < 0 ? 0 : (Value > 1 ? 1 : Value);
    return static_cast<std::uint8_t>(v * 255.0 + 0.5);
}

} // namespace

// The theme's named colour where there is one, else the classic value.
TRgb GraphicsParts::NativeSystemColor(unsigned Index) {
    if (ThemeNames[Index] && Application().Initialized()) {
        GdkRGBA rgba;
        if (gtk_style_context_lookup_color(ThemeContext(), ThemeNames[Index], &rgba))
            return TRgb{Channel(rgba.red), Channel(rgba.green), Channel(rgba.blue)};
    }
    return PlainColorToRgb(ClassicColors[Index]);
}

TBitmap TBitmap::FromEncoded(const std::string& Bytes) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GError* error = nullptr;
    bool ok =
        gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(Bytes.data()), Bytes.size(), &error);
    if (ok)
        ok = gdk_pixbuf_loader_close(loader, &error);
    else
        gdk_pixbuf_loader_close(loader, nullptr);
    std::string message = error ? error->message : "";
    if (error)
        g_error_free(error);
    GdkPixbuf* pixbuf = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (!pixbuf) {
        g_object_unref(loader);
        throw EUiError("Cannot decode the picture" + (message.empty() ? std::string() : ": " + message));
    }
    TBitmap result = Gtk::PixbufToBitmap(pixbuf);
    g_object_unref(loader);
    return result;
}

std::string TBitmap::EncodePng() const {
    if (Empty())
        throw EUiError("Cannot encode an empty picture");
    GdkPixbuf* pixbuf = Gtk::BitmapToPixbuf(*this);
    gchar* buffer = nullptr;
    gsize size = 0;
    GError* error = nullptr;
    bool ok = gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", &error, nullptr);
    g_object_unref(pixbuf);
    std::string message = error ? error->message : "";
    if (error)
        g_error_free(error);
    if (!ok)
        throw EUiError("Cannot encode the picture as PNG: " + message);
    std::string result(buffer, size);
    g_free(buffer);
    return result;
}

TBitmap TBitmap::Scaled(int AWidth, int AHeight) const {
    if (Empty() || (AWidth == FWidth && AHeight == FHeight))
        return *this;
    GdkPixbuf* source = Gtk::BitmapToPixbuf(*this);
    GdkPixbuf* scaled = gdk_pixbuf_scale_simple(source, AWidth, AHeight, GDK_INTERP_BILINEAR);
    TBitmap result = Gtk::PixbufToBitmap(scaled);
    g_object_unref(scaled);
    g_object_unref(source);
    return result;
}

namespace Gtk {

bool FileIcon(const std::string& Path, int& Width, int& Height, std::vector<std::uint8_t>& Pixels) {
    EnsureToolkit();
    GFile* file = g_file_new_for_path(Path.c_str());
    GFileInfo* info =
        g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_ICON, G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    g_object_unref(file);
    if (!info)
        return false;
    GIcon* icon = g_file_info_get_icon(info);
    GdkPixbuf* pixbuf = nullptr;
    if (icon) {
        GtkIconInfo* iconInfo = gtk_icon_theme_lookup_by_gicon(gtk_icon_theme_get_default(), icon, 32,
                                                               GTK_ICON_LOOKUP_FORCE_SIZE);
        if (!iconInfo)
            iconInfo = gtk_icon_theme_lookup_icon(gtk_icon_theme_get_default(), "text-x-generic", 32,
                                                  GTK_ICON_LOOKUP_FORCE_SIZE);
        if (iconInfo) {
            pixbuf = gtk_icon_info_load_icon(iconInfo, nullptr);
            g_object_unref(iconInfo);
        }
    }
    g_object_unref(info);
    if (!pixbuf)
        return false;
    TBitmap bitmap = PixbufToBitmap(pixbuf);
    g_object_unref(pixbuf);
    Width = bitmap.Width();
    Height = bitmap.Height();
    Pixels = bitmap.Pixels();
    return true;
}

int TextWidth(const std::string& Font, int Size, bool Bold, bool Italic, const std::string& Text) {
    EnsureToolkit();
    PangoContext* context = gdk_pango_context_get();
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, Font.c_str());
    pango_font_description_set_size(description, std::max(Size, 1) * PANGO_SCALE);
    pango_font_description_set_weight(description, Bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description, Italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout, description);
    pango_layout_set_text(layout, Text.c_str(), -1);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    pango_font_description_free(description);
    g_object_unref(layout);
    g_object_unref(context);
    return width;
}

GdkPixbuf* BitmapToPixbuf(const TBitmap& Bitmap) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, std::max(Bitmap.Width(), 1),
                                       std::max(Bitmap.Height(), 1));
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < Bitmap.Height(); ++y)
        std::memcpy(pixels + static_cast<std::ptrdiff_t>(y) * stride, Bitmap.Pixel(0, y),
                    static_cast<std::size_t>(Bitmap.Width()) * 4);
    return pixbuf;
}

TBitmap PixbufToBitmap(GdkPixbuf* Pixbuf) {
    GdkPixbuf* rgba = gdk_pixbuf_get_has_alpha(Pixbuf) ? GDK_PIXBUF(g_object_ref(Pixbuf))
                                                       : gdk_pixbuf_add_alpha(Pixbuf, FALSE, 0, 0, 0);
    int w = gdk_pixbuf_get_width(rgba);
    int h = gdk_pixbuf_get_height(rgba);
    TBitmap result(w, h);
    int stride = gdk_pixbuf_get_rowstride(rgba);
    const guchar* pixels = gdk_pixbuf_read_pixels(rgba);
    for (int y = 0; y < h; ++y)
        std::memcpy(result.Pixel(0, y), pixels + static_cast<std::ptrdiff_t>(y) * stride,
                    static_cast<std::size_t>(w) * 4);
    g_object_unref(rgba);
    return result;
}

} // namespace Gtk
} // namespace Norvane::Platform::Ui
