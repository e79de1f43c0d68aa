#include "storage/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/temp_folder.h"

namespace kestrine {
namespace {

using namespace ::kestrine::testing;

TEST(InstanceLockPath, PrefersTheRuntimeFolderAndNeedsAnAbsoluteOne) {
  EXPECT_EQ(instanceLockPath("/run/user/1000", "/home/a"), "/run/user/1000/kestrine.lock");
  EXPECT_EQ(instanceLockPath(nullptr, "/home/a"), "/home/a/.kestrine.lock");
  EXPECT_EQ(instanceLockPath("relative", "/home/a"), "/home/a/.kestrine.lock");
  EXPECT_EQ(instanceLockPath("", nullptr), std::nullopt);
}

// Starts a process that takes the lock and waits to be killed.
pid_t startHolder(const std::filesystem::path& lock) {
  int ready[2];
  if (::pipe(ready) != 0) std::abort();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const char answer = lockInstance(lock) == InstanceLock::acquired ? 'y' : 'n';
    if (::write(ready[1], &answer, 1) != 1) ::_exit(1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char answer = 0;
  const bool took = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
  ::close(ready[0]);
  EXPECT_TRUE(took);
  return pid;
}

// A second start in a process of its own: its exit status and what it printed.
std::pair<int, std::string> secondStart(const TempFolder& runtime) {
  const auto errors = runtime / "stderr";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    if (std::freopen(errors.c_str(), "w", stderr) == nullptr) ::_exit(2);
    const bool first = claimSingleInstance();
    std::fflush(stderr);
    ::_exit(first ? 1 : 0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(errors)};
}

// The lock lives exactly as long as its holder: a kill -9 frees it.
TEST(SingleInstance, SecondStartStopsWhileTheFirstRunsAndNotAfterItDied) {
  TempFolder runtime;
  // Without a usable lock file the application still starts.
  EXPECT_EQ(lockInstance(runtime / "missing" / "kestrine.lock"), InstanceLock::unavailable);
  const auto lock = runtime / "kestrine.lock";
  const pid_t holder = startHolder(lock);
  EXPECT_EQ(secondStart(runtime), std::make_pair(0, std::string("Kestrine is already running\n")));

  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(secondStart(runtime), std::make_pair(1, std::string()));
}

}  // namespace
}  // namespace kestrine
