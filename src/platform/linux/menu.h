#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <string>

#include "ports/menu_model.h"

namespace kestrine::linux_desktop {

// Called with a chosen item's action and tag.
using MenuActionHandler = std::function<void(MenuAction action, std::int64_t tag)>;

// A GTK menu drawn from the model: titles as plain text (no mnemonics),
// choices as check items (drawn as radio items for a choice of one), disabled
// items greyed out, submenus and separators. Key equivalents are left out:
// the tray host draws the menu in its own process and no host here passes a
// key pressed in it back over dbusmenu, so a shown Ctrl+Q would do nothing.
// Activating an item calls `handler` with its action and
// tag. The returned menu is floating-free: the caller owns one reference.
GtkWidget* buildGtkMenu(const Menu& menu, const MenuActionHandler& handler);

}  // namespace kestrine::linux_desktop
