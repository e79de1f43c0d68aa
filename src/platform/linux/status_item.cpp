#include "platform/linux/status_item.h"

#include <glib/gstdio.h>
#include <libayatana-appindicator/app-indicator.h>

#include <system_error>

#include "platform/linux/emoji_icon.h"
#include "storage/temporary_folder.h"
#include "ui/status_icon.h"

namespace kestrine::linux_desktop {
namespace {

struct PendingAction {
  std::weak_ptr<MenuActionHandler> handler;
  MenuAction action;
  std::int64_t tag;
};

gboolean runPendingAction(gpointer data) {
  auto* pending = static_cast<PendingAction*>(data);
  if (auto handler = pending->handler.lock(); handler && *handler) {
    (*handler)(pending->action, pending->tag);
  }
  return G_SOURCE_REMOVE;
}

void freePendingAction(gpointer data) { delete static_cast<PendingAction*>(data); }

std::filesystem::path runtimeFolder() {
  std::string base = g_get_user_runtime_dir();
  g_mkdir_with_parents(base.c_str(), 0700);
  return base;
}

class AppIndicatorStatusItem final : public StatusItem {
 public:
  AppIndicatorStatusItem(std::weak_ptr<MenuActionHandler> handler,
                         std::shared_ptr<const bool> shown, std::shared_ptr<const Wording> wording)
      : handler_(std::move(handler)),
        shown_(std::move(shown)),
        wording_(std::move(wording)),
        iconFolder_("kestrine", runtimeFolder()) {
    const std::filesystem::path& iconDirectory = iconFolder_.path();
    indicator_ =
        app_indicator_new("kestrine", "battery", APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
    app_indicator_set_title(indicator_, "Kestrine");
    if (!iconDirectory.empty())
      app_indicator_set_icon_theme_path(indicator_, iconDirectory.c_str());
    app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);
  }

  ~AppIndicatorStatusItem() override {
    g_object_unref(indicator_);
    if (menu_ != nullptr) g_object_unref(menu_);
  }

  bool isShown() const override { return *shown_; }

  // The title is the tooltip hosts show for an item without a tooltip of its
  // own (this library exports none) and the item's name for screen readers.
  void setSummary(const std::string& summary) override {
    app_indicator_set_title(indicator_, ("Kestrine \u00B7 " + summary).c_str());
  }

  void setTitle(const std::string& title) override {
    app_indicator_set_label(indicator_, title.c_str(), "🔋");
    const std::filesystem::path& iconDirectory = iconFolder_.path();
    if (iconDirectory.empty()) return;
    const std::string name = iconNameForTitle(title);
    if (drawn_.count(name) == 0) {
      if (!renderEmojiIcon(title, iconDirectory)) return;
      drawn_.insert(name);
    }
    // The icon's accessible description: the state in words, not the emoji.
    app_indicator_set_icon_full(indicator_, name.c_str(), iconMeaning(title, *wording_).c_str());
  }

  void setMenu(const Menu& menu) override {
    std::weak_ptr<MenuActionHandler> handler = handler_;
    GtkWidget* widget = buildGtkMenu(menu, [handler](MenuAction action, std::int64_t tag) {
      // Run the action once the activation has unwound: it may replace this
      // very menu.
      g_idle_add_full(G_PRIORITY_DEFAULT, runPendingAction, new PendingAction{handler, action, tag},
                      freePendingAction);
    });
    app_indicator_set_menu(indicator_, GTK_MENU(widget));
    exportShortcuts(widget);
    if (menu_ != nullptr) g_object_unref(menu_);
    menu_ = widget;
  }

 private:
  std::weak_ptr<MenuActionHandler> handler_;
  std::shared_ptr<const bool> shown_;
  std::shared_ptr<const Wording> wording_;
  AppIndicator* indicator_ = nullptr;
  GtkWidget* menu_ = nullptr;
  // A private folder for the drawn icons, removed with the item: the tray host
  // reads them from there by name.
  TemporaryFolder iconFolder_;
  std::set<std::string> drawn_;
};

}  // namespace

void AppIndicatorStatusBar::setActionHandler(MenuActionHandler handler) {
  *handler_ = std::move(handler);
}

std::unique_ptr<StatusItem> AppIndicatorStatusBar::createStatusItem() {
  return std::make_unique<AppIndicatorStatusItem>(handler_, shown_, wording_);
}

}  // namespace kestrine::linux_desktop
