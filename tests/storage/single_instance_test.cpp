#include "storage/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/temp_folder.h"

namespace kestrine {
namespace {

using namespace ::kestrine::testing;

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

// A start's claim in a process of its own: what it answered and printed.
// (The application's own exit status for each answer: the e2e suites.)
std::pair<InstanceLock, std::string> start(const TempFolder& home) {
  const auto errors = home / "stderr";
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (std::freopen(errors.c_str(), "w", stderr) == nullptr) ::_exit(99);
    const InstanceLock answer = claimSingleInstance(home.path());
    std::fflush(stderr);
    ::_exit(static_cast<int>(answer));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {InstanceLock{WIFEXITED(status) ? WEXITSTATUS(status) : 99}, readText(errors)};
}

// The lock lives exactly as long as its holder: a kill -9 frees it.
TEST(SingleInstance, SecondStartStopsWhileTheFirstRunsAndNotAfterItDied) {
  TempFolder home;
  // Without a usable lock file the application still starts.
  EXPECT_EQ(lockInstance(home / "missing" / ".kestrine.lock"), InstanceLock::unavailable);
  const pid_t holder = startHolder(home / ".kestrine.lock");
  EXPECT_EQ(start(home), std::make_pair(InstanceLock::heldElsewhere,
                                        std::string("Kestrine is already running\n")));

  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(start(home), std::make_pair(InstanceLock::acquired, std::string()));
}

// What someone else could hold or swap is neither followed nor locked, and the
// start says so and stops: a link, a FIFO, another user's file.
TEST(SingleInstance, RefusesALockFileThatIsNotARegularFileOfItsOwn) {
  void (*const plants[])(const std::filesystem::path&) = {
      [](const auto& lock) { std::filesystem::create_symlink("target", lock); },
      [](const auto& lock) { ::mkfifo(lock.c_str(), 0600); },
      [](const auto& lock) { writeText(lock, ""), ::chown(lock.c_str(), 12345, 0); },
  };
  for (std::size_t i = 0; i < std::size(plants) - (::geteuid() == 0 ? 0 : 1); ++i) {
    TempFolder home;
    plants[i](home / ".kestrine.lock");
    const auto [answer, printed] = start(home);
    EXPECT_EQ(answer, InstanceLock::refused) << i;
    EXPECT_EQ(printed.rfind("Kestrine is not starting: " + (home / ".kestrine.lock").string(), 0),
              0U)
        << printed;
    EXPECT_FALSE(std::filesystem::exists(home / "target"));
  }
}

}  // namespace
}  // namespace kestrine
