#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "platform/linux/menu.h"
#include "ports/status_item.h"
#include "ports/wording.h"

namespace kestrine::linux_desktop {

// The tray item as a StatusNotifierItem (Ayatana AppIndicator) with its menu
// exported over D-Bus. The title is shown as the label and, because some hosts
// ignore labels, also drawn as the icon.
class AppIndicatorStatusBar final : public StatusBar {
 public:
  // The items describe their icons in `wording`'s words.
  explicit AppIndicatorStatusBar(const Wording& wording)
      : wording_(std::make_shared<const Wording>(wording)) {}

  // Menu choices are handed to `handler` from the main loop, after the menu
  // has finished its own signal handling.
  void setActionHandler(MenuActionHandler handler);
  // Whether a tray host shows the items now (see TrayHostWatch).
  void setShown(bool shown) { *shown_ = shown; }

  std::unique_ptr<StatusItem> createStatusItem() override;

 private:
  std::shared_ptr<MenuActionHandler> handler_ = std::make_shared<MenuActionHandler>();
  std::shared_ptr<bool> shown_ = std::make_shared<bool>(true);
  std::shared_ptr<const Wording> wording_;
};

}  // namespace kestrine::linux_desktop
