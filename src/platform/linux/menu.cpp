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

gboolean onAccelerator(gpointer item) {
  gtk_menu_item_activate(GTK_MENU_ITEM(item));
  return TRUE;
}

// Binds `accelerator` to the item in the menu's group and shows it on the
// item's label, which is where the tray host reads the shortcut from. Not
// gtk_widget_add_accelerator: the closure that one makes stays on a list of
// the item's own that nothing frees, one per item and menu rebuild. This
// closure belongs to the group alone and goes with it.
void bindAccelerator(GtkWidget* item, const std::string& accelerator, GtkAccelGroup* group) {
  guint key = 0;
  GdkModifierType modifiers = static_cast<GdkModifierType>(0);
  gtk_accelerator_parse(accelerator.c_str(), &key, &modifiers);
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
  if (key == 0 || !GTK_IS_ACCEL_LABEL(label)) return;
  // Invalidated when the item goes, so the group never calls into a freed item.
  GClosure* closure = g_cclosure_new_object_swap(G_CALLBACK(onAccelerator), G_OBJECT(item));
  gtk_accel_group_connect(group, key, modifiers, GTK_ACCEL_VISIBLE, closure);
  gtk_accel_label_set_accel_closure(GTK_ACCEL_LABEL(label), closure);
}

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
      if (!accelerator.empty()) bindAccelerator(widget, accelerator, accelerators);
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
