#include "platform/linux/menu.h"

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
    }
    gtk_widget_show(widget);
    gtk_menu_shell_append(shell, widget);
  }
}

}  // namespace

GtkWidget* buildGtkMenu(const Menu& menu, const MenuActionHandler& handler) {
  GtkWidget* widget = gtk_menu_new();
  g_object_ref_sink(widget);
  fillMenu(GTK_MENU_SHELL(widget), menu.items, handler);
  gtk_widget_show(widget);
  return widget;
}

}  // namespace kestrine::linux_desktop
