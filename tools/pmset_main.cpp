// pmset stand-in: battery and power-mode reports in pmset's layout from UPower
// and power-profiles-daemon, and the one setting Kestrine changes.
//
// The sudoers rule that Kestrine installs lets the user run this program as
// root with any arguments. A run with borrowed privileges therefore sheds its
// environment before anything else, accepts only "-b lowpowermode 0|1|2" and
// talks only to power-profiles-daemon on the system bus's well-known socket.
#include <unistd.h>

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

}  // namespace

int main(int argc, char** argv) {
  Invocation invocation;
  invocation.realUid = getuid();
  invocation.effectiveUid = geteuid();
  invocation.realGid = getgid();
  invocation.effectiveGid = getegid();
  invocation.sudoUidSet = std::getenv("SUDO_UID") != nullptr;
  invocation.pkexecUidSet = std::getenv("PKEXEC_UID") != nullptr;
  const bool privileged = runsWithBorrowedPrivileges(invocation);
  if (privileged) {
    // Nothing the caller put in the environment may steer GLib (bus
    // addresses, module paths, debug switches) while running as root.
    clearenv();
    setenv("PATH", "/usr/sbin:/usr/bin:/sbin:/bin", 1);
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
