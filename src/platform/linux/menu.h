#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <string>

#include "ports/menu_model.h"

namespace kestrine::linux_desktop {

// Called with a chosen item's action and tag.
using MenuActionHandler = std::function<void(MenuAction action, std::int64_t tag)>;

// The accelerator for a key equivalent, with Ctrl standing in for Command:
// "q" gives "<Control>q"; an empty key gives an empty text.
std::string acceleratorForKey(const std::string& keyEquivalent);

// A GTK menu drawn from the model: titles as plain text (no mnemonics),
// choices as check items (drawn as radio items for a choice of one), disabled
// items greyed out, submenus, separators, and the key equivalent shown
// as a Ctrl shortcut. Activating an item calls `handler` with its action and
// tag. The returned menu is floating-free: the caller owns one reference.
GtkWidget* buildGtkMenu(const Menu& menu, const MenuActionHandler& handler);

// Hands the key equivalents of a menu built above to the tray exporter, once
// the menu has been given to the tray item (which exports it over D-Bus).
void exportShortcuts(GtkWidget* menu);

}  // namespace kestrine::linux_desktop
