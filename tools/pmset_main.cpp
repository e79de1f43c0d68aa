// pmset stand-in: battery and power-mode reports in pmset's layout from UPower
// and power-profiles-daemon, and the one setting Kestrine changes.
//
// The sudoers rule that Kestrine installs lets the user run this program as
// root with any arguments. A run with borrowed privileges therefore sheds its
// environment before anything else, accepts only "-b lowpowermode 0|1|2" and
// talks only to power-profiles-daemon on the system bus's well-known socket.
// Any run as root sheds the environment too; root by its own right (a root
// shell) keeps the reports and a local bus address.
#include <fcntl.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/linux/system_bus.h"
#include "tools/pmset_logic.h"

using kestrine::linux_desktop::SystemBus;
using namespace kestrine::tools;

namespace {

constexpr int kStatusRefused = 1;
constexpr int kStatusUnreachable = 2;
constexpr int kStatusNotTaken = 3;

int fail(int status, const std::string& message) {
  std::fprintf(stderr, "pmset: %s\n", message.c_str());
  return status;
}

// A run holding root rights must not let a closed standard stream hand its
// number to the bus socket, where a message meant for the terminal would land.
void keepStandardStreamsOpen() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lower numbers are open, so this one is the number open() gives.
    if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) std::_Exit(kStatusRefused);
  }
}

bool privilegeToolMarkSet() {
  for (const char* name : kPrivilegeToolVariables) {
    if (std::getenv(name) != nullptr) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Invocation invocation;
  invocation.realUid = getuid();
  invocation.effectiveUid = geteuid();
  invocation.realGid = getgid();
  invocation.effectiveGid = getegid();
  invocation.secureExecution = getauxval(AT_SECURE) != 0;
  invocation.privilegeToolMark = privilegeToolMarkSet();
  const bool privileged = runsWithBorrowedPrivileges(invocation);
  if (privileged || invocation.effectiveUid == 0) {
    keepStandardStreamsOpen();
    // Nothing the caller put in the environment may steer GLib while running
    // as root: module directories, proxy and VFS choices, debug switches. Only
    // root by its own right keeps a local system bus address.
    const auto busAddress =
        systemBusAddressToKeep(privileged, std::getenv("DBUS_SYSTEM_BUS_ADDRESS"));
    clearenv();
    setenv("PATH", "/usr/sbin:/usr/bin:/sbin:/bin", 1);
    if (busAddress) setenv("DBUS_SYSTEM_BUS_ADDRESS", busAddress->c_str(), 1);
  }

  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const PmsetParse parse = parsePmsetArguments(arguments, privileged);
  if (!parse.command) return fail(kStatusRefused, parse.error);

  std::string error;
  const auto bus = SystemBus::connect(
      privileged ? SystemBus::Address::FixedSocket : SystemBus::Address::FromEnvironment, error);
  if (!bus) return fail(kStatusUnreachable, error);

  switch (parse.command->action) {
    case PmsetAction::BatteryReport: {
      const auto onBattery = bus->upowerOnBattery(error);
      if (!onBattery) return fail(kStatusUnreachable, error);
      const auto devices = bus->upowerDevices(error);
      if (!devices) return fail(kStatusUnreachable, error);
      std::fputs(formatBatteryReport(*onBattery, *devices).c_str(), stdout);
      return std::fflush(stdout) == 0 ? 0 : kStatusUnreachable;
    }
    case PmsetAction::CustomReport: {
      const auto profile = bus->activeProfile(error);
      if (!profile) return fail(kStatusUnreachable, error);
      const auto mode = modeForProfile(*profile);
      if (!mode) return fail(kStatusUnreachable, "unknown power profile \"" + *profile + "\"");
      std::fputs(formatCustomReport(*mode).c_str(), stdout);
      return std::fflush(stdout) == 0 ? 0 : kStatusUnreachable;
    }
    case PmsetAction::SetLowPowerMode: {
      const auto profile = profileForMode(parse.command->mode);
      if (!profile) return fail(kStatusRefused, "unknown lowpowermode");
      if (!bus->setActiveProfile(*profile, error)) return fail(kStatusNotTaken, error);
      return 0;
    }
  }
  return kStatusRefused;
}
