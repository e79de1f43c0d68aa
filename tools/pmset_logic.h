#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/upower_devices.h"

namespace kestrine::tools {

// What a run of the pmset stand-in was asked to do.
enum class PmsetAction { BatteryReport, CustomReport, SetLowPowerMode };

struct PmsetCommand {
  PmsetAction action = PmsetAction::BatteryReport;
  int mode = 0;  // for SetLowPowerMode: 0, 1 or 2
};

// Either a command or the reason it is refused.
struct PmsetParse {
  std::optional<PmsetCommand> command;
  std::string error;
};

// Variables that the tools granting administrator rights put into the
// environment of the program they start, whatever their policy keeps of the
// caller's environment: sudo (also run0), pkexec and doas.
inline constexpr const char* kPrivilegeToolVariables[] = {
    "SUDO_UID", "SUDO_GID", "SUDO_USER", "SUDO_COMMAND", "PKEXEC_UID", "DOAS_USER",
};

// The identity a process runs with, as far as the privilege decision needs it.
struct Invocation {
  unsigned realUid = 0;
  unsigned effectiveUid = 0;
  unsigned realGid = 0;
  unsigned effectiveGid = 0;
  bool secureExecution = false;    // the kernel's AT_SECURE: set-id or file capabilities
  bool privilegeToolMark = false;  // one of kPrivilegeToolVariables is set
};

// Whether the process holds privileges it did not start with: started through
// sudo, pkexec or doas, set-id, or given capabilities by its file. Any such run
// is held to the narrow command set.
bool runsWithBorrowedPrivileges(const Invocation& invocation);

// The system bus address a run may take from its environment (`value`, the
// DBUS_SYSTEM_BUS_ADDRESS it was started with, or null). A run with borrowed
// privileges takes none and uses the well-known socket. Root by its own right
// keeps a local (unix:) address, so that a root shell can point the tool at
// another bus, but never one that would make GLib start a program.
std::optional<std::string> systemBusAddressToKeep(bool borrowed, const char* value);

// Reads the arguments (without the program name). With borrowed privileges only
// "-b lowpowermode N" is accepted; otherwise also "-g batt" and "-g custom".
// N must be exactly "0", "1" or "2".
PmsetParse parsePmsetArguments(const std::vector<std::string>& arguments, bool privileged);

// The power-profiles-daemon profile for a lowpowermode value, and back.
std::optional<std::string> profileForMode(int mode);
std::optional<int> modeForProfile(std::string_view profile);

// `pmset -g batt`: the source line, then one line per battery or UPS.
std::string formatBatteryReport(bool onBattery,
                                const std::vector<linux_desktop::UPowerDevice>& devices);

// `pmset -g custom`: a battery and an AC section with the same lowpowermode,
// since a power profile applies whatever the source.
std::string formatCustomReport(int mode);

}  // namespace kestrine::tools
