#include "tools/osascript_logic.h"

namespace kestrine::tools {
namespace {

// Reads a quoted string at the start of `text`; on success `text` is left
// just past the closing quote.
std::optional<std::string> readQuoted(std::string_view& text) {
  if (text.empty() || text.front() != '"') return std::nullopt;
  std::string value;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      text.remove_prefix(i + 1);
      return value;
    }
    if (c == '\\') {
      if (i + 1 >= text.size()) return std::nullopt;
      const char next = text[i + 1];
      if (next != '"' && next != '\\') return std::nullopt;
      value += next;
      ++i;
      continue;
    }
    value += c;
  }
  return std::nullopt;
}

bool consume(std::string_view& text, std::string_view expected) {
  if (text.substr(0, expected.size()) != expected) return false;
  text.remove_prefix(expected.size());
  return true;
}

}  // namespace

std::optional<AdminScript> parseAdminScript(std::string_view script) {
  if (!consume(script, "do shell script ")) return std::nullopt;
  auto command = readQuoted(script);
  if (!command || !consume(script, " with administrator privileges with prompt ")) {
    return std::nullopt;
  }
  auto prompt = readQuoted(script);
  if (!prompt || !script.empty() || command->empty()) return std::nullopt;
  return AdminScript{std::move(*command), std::move(*prompt)};
}

std::vector<std::string> privilegedCommandLine(const std::string& pkexec,
                                               const std::string& toolPath,
                                               const std::string& command) {
  // The PATH goes in through the shell, not the environment: pkexec replaces
  // the environment with its own safe one.
  std::string quotedPath = "'";
  for (const char c : toolPath) {
    if (c == '\'') {
      quotedPath += "'\\''";
    } else {
      quotedPath += c;
    }
  }
  quotedPath += "'";
  return {pkexec, "/bin/sh", "-c", "PATH=" + quotedPath + "; export PATH; " + command};
}

}  // namespace kestrine::tools
