#include "mac_power/system_tools.h"

namespace kestrine {

SystemTools macSystemTools() {
  return SystemTools{
      .pmset = "/usr/bin/pmset",
      .sudo = "/usr/bin/sudo",
      .osascript = "/usr/bin/osascript",
      .sudoersDirectory = "/private/etc/sudoers.d",
      .rulePmsetPath = "/usr/bin/pmset",
  };
}

}  // namespace kestrine
