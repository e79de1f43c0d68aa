#pragma once

#include "ports/notifications.h"

namespace kestrine {

// Banner notifications through the default user notification centre, each with
// the default sound. No delegate is installed on the centre.
class MacNotifier final : public Notifier {
 public:
  void deliver(const Notification& notification) override;
};

}  // namespace kestrine
