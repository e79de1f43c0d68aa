#pragma once

#include <memory>

#include "ports/console.h"
#include "ports/notifications.h"

namespace kestrine::macos {

// Banner notifications through the user notification centre, each with the
// default sound. Every delivery first asks for permission to alert and play
// sounds: macOS shows its question the first time only and answers later
// requests with the user's choice. A refusal is said once on the console. The
// centre gets a delegate, held here for the notifier's life, that presents
// banners while Kestrine is the active application too.
class MacNotifier final : public Notifier {
 public:
  // Must be made before the application finishes launching, so that the
  // centre has its delegate from the start.
  explicit MacNotifier(Console& console);
  ~MacNotifier() override;
  MacNotifier(const MacNotifier&) = delete;
  MacNotifier& operator=(const MacNotifier&) = delete;

  void deliver(const Notification& notification) override;
  // Asks for permission now (after the setup), so that the question comes
  // while the user is at the Mac rather than with the first low battery.
  void requestAuthorization();

 private:
  struct Presenter;
  std::unique_ptr<Presenter> presenter_;
};

}  // namespace kestrine::macos
