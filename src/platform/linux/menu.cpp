#include "platform/linux/menu.h"

namespace kestrine::linux_desktop {
namespace {

struct ItemAction {
  std::string action;
  std::int64_t tag;
  MenuActionHandler handler;
};

void onActivate(GtkMenuItem*, gpointer data) {
  const auto* item = static_cast<const ItemAction*>(data);
  item->handler(item->action, item->tag);
}

void freeItemAction(gpointer data, GClosure*) { delete static_cast<ItemAction*>(data); }

void fillMenu(GtkMenuShell* shell, const std::vector<MenuItem>& items,
              const MenuActionHandler& handler, GtkAccelGroup* accelerators) {
  for (const MenuItem& item : items) {
    GtkWidget* widget = nullptr;
    if (item.isSeparator) {
      widget = gtk_separator_menu_item_new();
    } else {
      // with_label, not with_mnemonic: an underscore in a title stays text.
      widget = gtk_menu_item_new_with_label(item.title.c_str());
      gtk_widget_set_sensitive(widget, item.enabled ? TRUE : FALSE);
      if (item.hasSubmenu()) {
        GtkWidget* submenu = gtk_menu_new();
        gtk_menu_set_accel_group(GTK_MENU(submenu), accelerators);
        fillMenu(GTK_MENU_SHELL(submenu), item.submenu, handler, accelerators);
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), submenu);
      } else if (!item.action.empty()) {
        g_signal_connect_data(widget, "activate", G_CALLBACK(onActivate),
                              new ItemAction{item.action, item.tag, handler}, freeItemAction,
                              static_cast<GConnectFlags>(0));
      }
      const std::string accelerator = acceleratorForKey(item.keyEquivalent);
      if (!accelerator.empty()) {
        guint key = 0;
        GdkModifierType modifiers = static_cast<GdkModifierType>(0);
        gtk_accelerator_parse(accelerator.c_str(), &key, &modifiers);
        if (key != 0) {
          gtk_widget_add_accelerator(widget, "activate", accelerators, key, modifiers,
                                     GTK_ACCEL_VISIBLE);
        }
      }
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
  GtkAccelGroup* accelerators = gtk_accel_group_new();
  gtk_menu_set_accel_group(GTK_MENU(widget), accelerators);
  fillMenu(GTK_MENU_SHELL(widget), menu.items, handler, accelerators);
  // The accelerator labels disconnect from the group while the menu is
  // disposed, so the menu keeps the group until it is finalized.
  g_object_set_data_full(G_OBJECT(widget), "kestrine-accelerators", accelerators, g_object_unref);
  gtk_widget_show(widget);
  return widget;
}

}  // namespace kestrine::linux_desktop
