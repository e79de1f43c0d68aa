#pragma once

#include "ports/alerts.h"

namespace kestrine::macos {

// Modal alerts through NSAlert. An alert without buttons gets AppKit's single
// default OK button, which answers 1000 like a first added button. An alert
// that asks to come to the front activates the application first; the others
// open wherever AppKit puts them.
class MacAlerts final : public Alerts {
 public:
  int runModal(const Alert& alert) override;
};

}  // namespace kestrine::macos
