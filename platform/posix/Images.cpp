// Images through GdkPixbuf (no display needed).
#include "platform/Images.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace Norvane::Platform {

bool ImageToPng(const std::string& Encoded, int Size, std::string& Png) {
    if (Size < 1 || Size > 1024)
        return false;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    bool written = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(Encoded.data()),
                                           Encoded.size(), nullptr) != FALSE;
    bool closed = gdk_pixbuf_loader_close(loader, nullptr) != FALSE;
    GdkPixbuf* source = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    bool done = false;
    if (source) {
        GdkPixbuf* scaled = gdk_pixbuf_scale_simple(source, Size, Size, GDK_INTERP_HYPER);
        gchar* buffer = nullptr;
        gsize length = 0;
        if (scaled && gdk_pixbuf_save_to_buffer(scaled, &buffer, &length, "png", nullptr, nullptr)) {
            Png.assign(buffer, length);
            done = true;
        }
        g_free(buffer);
        if (scaled)
            g_object_unref(scaled);
    }
    g_object_unref(loader);
    return done;
}

} // namespace Norvane::Platform
