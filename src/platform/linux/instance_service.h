#pragma once

#include <gio/gio.h>

#include <functional>

namespace kestrine::linux_desktop {

// The running instance's name on the session bus, org.kestrine.Kestrine, with
// one method: org.kestrine.Kestrine.Quit on /org/kestrine/Kestrine, which ends
// the application as its Quit item does. `kestrine --quit` calls it.
class InstanceService {
 public:
  InstanceService(GDBusConnection* session, std::function<void()> quit);
  ~InstanceService();
  InstanceService(const InstanceService&) = delete;
  InstanceService& operator=(const InstanceService&) = delete;

 private:
  static void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                     GVariant*, GDBusMethodInvocation* invocation, gpointer self);

  GDBusConnection* session_;
  std::function<void()> quit_;
  guint object_ = 0;
  guint name_ = 0;
};

// `kestrine --quit`: asks the running instance to quit and waits (up to 10 s)
// until it has left the bus. Returns the exit status: 0 when it quit, 1 when
// none runs or it did not answer, after one line on standard error.
int quitRunningInstance(GDBusConnection* session);

}  // namespace kestrine::linux_desktop
