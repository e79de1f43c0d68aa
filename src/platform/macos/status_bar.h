#pragma once

#include <memory>

#include "ports/status_item.h"

namespace kestrine {

// The system status bar through AppKit: the accessory activation policy and a
// status item whose button carries the title and whose menu is drawn from the
// core's menu model. Menu items get no target, so AppKit's action dispatch
// carries each choice along the responder chain to the application delegate
// (or, for "terminate:", to the application itself).
class MacStatusBar final : public StatusBar {
 public:
  void setAccessoryActivationPolicy() override;
  std::unique_ptr<StatusItem> createStatusItem() override;
};

}  // namespace kestrine
