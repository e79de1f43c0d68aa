#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrine::sim {

// The virtual laptop's own little file tree. The privileged setup writes its
// sudoers rule here, never on the real file system.
class VirtualFileSystem {
 public:
  struct File {
    std::string content;
    unsigned mode = 0644;
  };

  VirtualFileSystem();

  static std::string normalise(std::string_view path);
  static std::string parentOf(const std::string& normalisedPath);

  bool exists(std::string_view path) const;
  const File* file(std::string_view path) const;

  // Each returns an error description, or nothing on success.
  std::optional<std::string> makeDirectory(std::string_view path, bool parents);
  std::optional<std::string> writeFile(std::string_view path, std::string content, bool append);
  std::optional<std::string> setMode(std::string_view path, unsigned mode);
  std::optional<std::string> move(std::string_view from, std::string_view to);
  std::optional<std::string> remove(std::string_view path);

  const std::map<std::string, File>& files() const { return files_; }

 private:
  std::set<std::string> directories_;
  std::map<std::string, File> files_;
};

// True when every rule line of `content` has the shape of a sudoers user rule
// ("name host=(runas) NOPASSWD: /absolute/command args"); what `visudo -c` checks here.
bool sudoersSyntaxOk(std::string_view content);

struct ShellResult {
  int status = 0;
  std::string output;  // standard output not redirected into a file
  std::string errors;  // what the commands would have written to standard error
};

// Runs a POSIX shell command line of the kind the privileged setup builds: simple
// commands joined by "&&", "||" and ";", "{ ...; }" and "( ... )" groups, single
// and double quotes, ">" and ">>" into files, and the commands true, false, exit,
// mkdir, echo, chmod, chown, mv, rm, cat, visudo -c -f and pmset. Anything else
// fails with status 127, as an unknown program would. `pmset` gets its arguments
// through `pmset` and returns an exit status.
ShellResult runVirtualShell(std::string_view command, VirtualFileSystem& fs,
                            const std::function<int(const std::vector<std::string>&)>& pmset);

}  // namespace kestrine::sim
