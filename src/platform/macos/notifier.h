#pragma once

#include <memory>

#include "ports/notifications.h"

namespace kestrine {

// Banner notifications through the default user notification centre, each with
// the default sound. The centre gets a delegate, held here for the notifier's
// life, that asks for every banner to be shown.
class MacNotifier final : public Notifier {
 public:
  MacNotifier();
  ~MacNotifier() override;
  MacNotifier(const MacNotifier&) = delete;
  MacNotifier& operator=(const MacNotifier&) = delete;

  void deliver(const Notification& notification) override;

 private:
  struct Presenter;
  std::unique_ptr<Presenter> presenter_;
};

}  // namespace kestrine
