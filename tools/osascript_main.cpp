// osascript stand-in: runs the administrator shell scripts that Kestrine
// writes through pkexec, so the desktop's own authentication dialog asks.
// Nothing else is accepted.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/osascript_logic.h"

#ifndef KESTRINE_PKEXEC
#error "KESTRINE_PKEXEC must name the pkexec program"
#endif
#ifndef KESTRINE_TOOL_PATH
#error "KESTRINE_TOOL_PATH must give the PATH of the privileged shell"
#endif

int main(int argc, char** argv) {
  if (argc != 3 || std::strcmp(argv[1], "-e") != 0) {
    std::fprintf(stderr,
                 "osascript: usage: osascript -e 'do shell script \"...\" with "
                 "administrator privileges with prompt \"...\"'\n");
    return 1;
  }
  const auto script = kestrine::tools::parseAdminScript(argv[2]);
  if (!script) {
    std::fprintf(stderr,
                 "osascript: only \"do shell script ... with administrator privileges "
                 "with prompt ...\" is supported\n");
    return 1;
  }
  const std::vector<std::string> commandLine =
      kestrine::tools::privilegedCommandLine(KESTRINE_PKEXEC, KESTRINE_TOOL_PATH, script->command);
  std::vector<char*> childArgv;
  for (const std::string& argument : commandLine)
    childArgv.push_back(const_cast<char*>(argument.c_str()));
  childArgv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) {
    std::fprintf(stderr, "osascript: cannot start %s: %s\n", KESTRINE_PKEXEC, std::strerror(errno));
    return 1;
  }
  if (child == 0) {
    execv(childArgv[0], childArgv.data());
    std::fprintf(stderr, "osascript: cannot start %s: %s\n", KESTRINE_PKEXEC, std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return 1;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 0;
  std::fprintf(stderr, "osascript: execution error: the administrator command failed (%d)\n",
               WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 1;
}
