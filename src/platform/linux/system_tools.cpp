// The Linux table of system tools, fixed when the build is configured: the
// stand-ins for pmset and osascript in the installation's libexec directory.
#include "power/system_tools.h"

#ifndef KESTRINE_PMSET_PATH
#error "KESTRINE_PMSET_PATH must name the pmset stand-in"
#endif
#ifndef KESTRINE_OSASCRIPT_PATH
#error "KESTRINE_OSASCRIPT_PATH must name the osascript stand-in"
#endif
#ifndef KESTRINE_SUDO_PATH
#error "KESTRINE_SUDO_PATH must name sudo"
#endif
#ifndef KESTRINE_SUDOERS_DIR
#error "KESTRINE_SUDOERS_DIR must name the sudoers directory"
#endif

namespace kestrine {

const SystemTools& platformSystemTools() {
  // sudo runs the stand-in by its absolute path, and the rule names that same
  // path, so the rule allows exactly this program and nothing found on PATH.
  static const SystemTools tools{
      .pmset = KESTRINE_PMSET_PATH,
      .sudo = KESTRINE_SUDO_PATH,
      .osascript = KESTRINE_OSASCRIPT_PATH,
      .sudoersDirectory = KESTRINE_SUDOERS_DIR,
      .sudoPmsetName = KESTRINE_PMSET_PATH,
      .rulePmsetPath = KESTRINE_PMSET_PATH,
  };
  return tools;
}

}  // namespace kestrine
