#include "app/command_line.h"

#include "ui/messages.h"
#include "version.h"

namespace kestrine {

CommandLine parseCommandLine(const std::vector<std::string_view>& arguments,
                             const Wording& wording) {
  if (arguments.empty()) return {};
  if (arguments.size() > 1)
    return {Command::kInvalid, fillIn(wording.tooManyArguments, {arguments[1]})};
  const std::string_view option = arguments.front();
  if (option == "--help" || option == "-h") return {Command::kHelp, {}};
  if (option == "--version") return {Command::kVersion, {}};
  if (option == "--quit") return {Command::kQuit, {}};
  return {Command::kInvalid, fillIn(wording.unknownArgument, {option})};
}

std::string helpText(const Wording& wording) { return fillIn(wording.help, {KESTRINE_VERSION}); }

std::string versionText() { return "kestrine " KESTRINE_VERSION "\n"; }

}  // namespace kestrine
