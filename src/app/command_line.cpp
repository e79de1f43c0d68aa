#include "app/command_line.h"

#include "version.h"

namespace kestrine {

CommandLine parseCommandLine(const std::vector<std::string_view>& arguments) {
  if (arguments.empty()) return {};
  if (arguments.size() > 1)
    return {Command::kInvalid, "too many arguments: '" + std::string(arguments[1]) + "'"};
  const std::string_view option = arguments.front();
  if (option == "--help" || option == "-h") return {Command::kHelp, {}};
  if (option == "--version") return {Command::kVersion, {}};
  if (option == "--quit") return {Command::kQuit, {}};
  return {Command::kInvalid, "unknown argument '" + std::string(option) + "'"};
}

std::string helpText() {
  return "Usage: kestrine [--help | --version | --quit]\n"
         "\n"
         "Kestrine " KESTRINE_VERSION
         " switches the laptop to its power-saving profile while it runs on\n"
         "battery and the charge is low. Without an option it starts in the desktop\n"
         "session (one instance per user) and shows its icon in the panel; everything\n"
         "else is chosen from its menu.\n"
         "\n"
         "  -h, --help  print this help and exit\n"
         "  --version   print the version and exit\n"
         "  --quit      end the running Kestrine and exit\n"
         "\n"
         "Settings: ~/.kestrine_config.json   Learning data: ~/.kestrine_ai_data.json\n";
}

std::string versionText() { return "kestrine " KESTRINE_VERSION "\n"; }

}  // namespace kestrine
