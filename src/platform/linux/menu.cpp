#include "platform/linux/menu.h"

#include <libdbusmenu-gtk/menuitem.h>
#include <libdbusmenu-gtk/parser.h>

namespace kestrine::linux_desktop {
namespace {

struct ItemAction {
  MenuAction action;
  std::int64_t tag;
  MenuActionHandler handler;
};

void onActivate(GtkMenuItem*, gpointer data) {
  const auto* item = static_cast<const ItemAction*>(data);
  item->handler(item->action, item->tag);
}

void freeItemAction(gpointer data, GClosure*) { delete static_cast<ItemAction*>(data); }

constexpr const char* kShortcutKey = "kestrine-shortcut-key";
constexpr const char* kShortcutModifiers = "kestrine-shortcut-modifiers";

// Shows the accelerator on the item's label and keeps it on the item for
// exportShortcuts(). No accel group and no accel closure: the tray exporter
// keeps a reference to an item's accel closure that it never drops, which
// would leak one closure per menu rebuild.
void setShortcut(GtkWidget* item, const std::string& accelerator) {
  guint key = 0;
  GdkModifierType modifiers = static_cast<GdkModifierType>(0);
  gtk_accelerator_parse(accelerator.c_str(), &key, &modifiers);
  if (key == 0) return;
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
  if (GTK_IS_ACCEL_LABEL(label)) gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), key, modifiers);
  g_object_set_data(G_OBJECT(item), kShortcutKey, GUINT_TO_POINTER(key));
  g_object_set_data(G_OBJECT(item), kShortcutModifiers, GUINT_TO_POINTER(modifiers));
}

void exportShortcut(GtkWidget* widget, gpointer) {
  if (GtkWidget* submenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(widget))) {
    gtk_container_foreach(GTK_CONTAINER(submenu), exportShortcut, nullptr);
  }
  const guint key = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(widget), kShortcutKey));
  DbusmenuMenuitem* exported = dbusmenu_gtk_parse_get_cached_item(widget);
  if (key == 0 || exported == nullptr) return;
  const auto modifiers = static_cast<GdkModifierType>(
      GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(widget), kShortcutModifiers)));
  dbusmenu_menuitem_property_set_shortcut(exported, key, modifiers);
}

void fillMenu(GtkMenuShell* shell, const std::vector<MenuItem>& items,
              const MenuActionHandler& handler) {
  for (const MenuItem& item : items) {
    GtkWidget* widget = nullptr;
    if (item.isSeparator) {
      widget = gtk_separator_menu_item_new();
    } else {
      // with_label, not with_mnemonic: an underscore in a title stays text.
      if (item.toggle == MenuItem::Toggle::kNone) {
        widget = gtk_menu_item_new_with_label(item.title.c_str());
      } else {
        // Check items, drawn as radio items for a choice of one: the tray
        // exporter hands their kind and state on, and screen readers say them.
        // The state is set before the handler is connected, since setting it
        // activates the item.
        widget = gtk_check_menu_item_new_with_label(item.title.c_str());
        gtk_check_menu_item_set_draw_as_radio(GTK_CHECK_MENU_ITEM(widget),
                                              item.toggle == MenuItem::Toggle::kRadio);
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), item.checked);
      }
      gtk_widget_set_sensitive(widget, item.enabled ? TRUE : FALSE);
      if (item.hasSubmenu()) {
        GtkWidget* submenu = gtk_menu_new();
        fillMenu(GTK_MENU_SHELL(submenu), item.submenu, handler);
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), submenu);
      } else if (item.action) {
        g_signal_connect_data(widget, "activate", G_CALLBACK(onActivate),
                              new ItemAction{*item.action, item.tag, handler}, freeItemAction,
                              static_cast<GConnectFlags>(0));
      }
      const std::string accelerator = acceleratorForKey(item.keyEquivalent);
      if (!accelerator.empty()) setShortcut(widget, accelerator);
    }
    gtk_widget_show(widget);
    gtk_menu_shell_append(shell, widget);
  }
}

}  // namespace

std::string acceleratorForKey(const std::string& keyEquivalent) {
  if (keyEquivalent.empty()) return {};
  return "<Control>" + keyEquivalent;
}

GtkWidget* buildGtkMenu(const Menu& menu, const MenuActionHandler& handler) {
  GtkWidget* widget = gtk_menu_new();
  g_object_ref_sink(widget);
  fillMenu(GTK_MENU_SHELL(widget), menu.items, handler);
  gtk_widget_show(widget);
  return widget;
}

void exportShortcuts(GtkWidget* menu) {
  gtk_container_foreach(GTK_CONTAINER(menu), exportShortcut, nullptr);
}

}  // namespace kestrine::linux_desktop
