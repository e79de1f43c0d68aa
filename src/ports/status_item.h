#pragma once

#include <memory>
#include <string>

#include "ports/menu_model.h"

namespace kestrine {

// The one item in the system's status bar (menu bar, tray).
class StatusItem {
 public:
  virtual ~StatusItem() = default;
  // Shown where the item can carry a title; ignored elsewhere.
  virtual void setTitle(const std::string& title) = 0;
  // Replaces the item's menu as a whole.
  virtual void setMenu(const Menu& menu) = 0;
  // The state in words, for the tooltip and screen readers, where the status
  // area shows such a text; ignored elsewhere.
  virtual void setSummary(const std::string& /*summary*/) {}
  // Whether a status area shows the item now. Where that cannot be known, it
  // is assumed to.
  virtual bool isShown() const { return true; }
};

class StatusBar {
 public:
  virtual ~StatusBar() = default;
  // A new item of variable width, whose width follows its title.
  virtual std::unique_ptr<StatusItem> createStatusItem() = 0;
};

}  // namespace kestrine
