#include "platform/linux/emoji_icon.h"

#include <cairo.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include <cstdio>

namespace kestrine::linux_desktop {

std::string iconNameForTitle(const std::string& title) {
  std::string name = "kestrine";
  const gchar* text = title.c_str();
  if (!g_utf8_validate(text, static_cast<gssize>(title.size()), nullptr)) return name + "_invalid";
  for (const gchar* p = text; *p != '\0'; p = g_utf8_next_char(p)) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "_%x", static_cast<unsigned>(g_utf8_get_char(p)));
    name += hex;
  }
  return name;
}

bool renderEmojiIcon(const std::string& title, const std::filesystem::path& directory, int size) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(surface);
  g_autoptr(PangoLayout) layout = pango_cairo_create_layout(cr);
  g_autoptr(PangoFontDescription) font = pango_font_description_from_string("Noto Color Emoji");
  // The colour emoji font has fixed bitmap strikes; scale the layout to fit.
  pango_font_description_set_absolute_size(font, size * 0.75 * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, title.c_str(), -1);
  PangoRectangle ink;
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, &ink, &logical);
  if (ink.width > 0 && ink.height > 0) {
    const double scale =
        std::min(static_cast<double>(size) / ink.width, static_cast<double>(size) / ink.height);
    cairo_translate(cr, (size - ink.width * scale) / 2.0, (size - ink.height * scale) / 2.0);
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, -ink.x, -ink.y);
  }
  pango_cairo_show_layout(cr, layout);
  cairo_destroy(cr);
  const std::filesystem::path file = directory / (iconNameForTitle(title) + ".png");
  const bool written = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return written;
}

}  // namespace kestrine::linux_desktop
