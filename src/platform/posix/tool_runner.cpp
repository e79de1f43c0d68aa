#include "platform/posix/tool_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "storage/file_descriptor.h"

extern char** environ;

namespace kestrine {

namespace {

using Clock = std::chrono::steady_clock;

// How often a quiet pipe is left to see whether the child has ended.
constexpr int kExitCheckMilliseconds = 50;

std::string describeError(int error) { return std::generic_category().message(error); }

std::string startFailure(const std::string& program, const std::string& reason) {
  return "Could not start " + program + ": " + reason;
}

// A close-on-exec pipe whose ends both lie above the standard descriptors: when
// the application runs with a standard stream closed, a pipe end that landed on
// 0, 1 or 2 would be clobbered by the child's dup2.
int makePipe(FileDescriptor& readEnd, FileDescriptor& writeEnd) {
  int fds[2];
#if defined(__APPLE__)
  if (::pipe(fds) != 0) return errno;
  for (int fd : fds) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#else
  if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
#endif
  readEnd.reset(fds[0]);
  writeEnd.reset(fds[1]);
  for (FileDescriptor* end : {&readEnd, &writeEnd}) {
    if (end->get() > STDERR_FILENO) continue;
    const int moved = ::fcntl(end->get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0) return errno;
    end->reset(moved);
  }
  return 0;
}

class SpawnSetup {
 public:
  SpawnSetup() {
    actionsReady_ = ::posix_spawn_file_actions_init(&actions_) == 0;
    attributesReady_ = ::posix_spawnattr_init(&attributes_) == 0;
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    if (actionsReady_) ::posix_spawn_file_actions_destroy(&actions_);
    if (attributesReady_) ::posix_spawnattr_destroy(&attributes_);
  }

  // Returns 0 or an error number.
  int configure(int stdoutPipe) {
    if (!actionsReady_ || !attributesReady_) return ENOMEM;
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    if (int e = ::posix_spawnattr_setsigdefault(&attributes_, &all)) return e;
    if (int e = ::posix_spawnattr_setsigmask(&attributes_, &none)) return e;

    if (stdoutPipe >= 0) {
      if (int e = ::posix_spawn_file_actions_adddup2(&actions_, stdoutPipe, STDOUT_FILENO)) {
        return e;
      }
    }
#if defined(__APPLE__)
    // Every descriptor not named here is closed in the child. A standard
    // stream the application was started without stays closed in the child
    // too: naming it would make every spawn fail with EBADF.
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
      if (fd == STDOUT_FILENO && stdoutPipe >= 0) continue;
      if (::fcntl(fd, F_GETFD) == -1) continue;
      if (int e = ::posix_spawn_file_actions_addinherit_np(&actions_, fd)) return e;
    }
#elif defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors that libraries opened without close-on-exec stay with us.
    if (int e = ::posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1)) {
      return e;
    }
#endif
    return ::posix_spawnattr_setflags(&attributes_, flags);
  }

  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_{};
  posix_spawnattr_t attributes_{};
  bool actionsReady_ = false;
  bool attributesReady_ = false;
};

int statusFromWait(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

// Milliseconds left until `deadline` for poll(), rounded up so that a wait never
// ends just before it; -1 waits without limit.
int pollTimeout(const std::optional<Clock::time_point>& deadline) {
  if (!deadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 60'000));
}

void sleepFor(std::chrono::milliseconds duration) {
  timespec request{static_cast<time_t>(duration.count() / 1000),
                   static_cast<long>((duration.count() % 1000) * 1'000'000)};
  timespec left{};
  while (::nanosleep(&request, &left) != 0 && errno == EINTR) request = left;
}

// Captured output up to a limit. Bytes past it are still read from the pipe,
// so the child never blocks on a full pipe, but they are not kept.
class Capture {
 public:
  Capture(std::string& output, std::size_t limit, bool& truncated)
      : output_(output), limit_(limit), truncated_(truncated) {}

  void append(const char* bytes, std::size_t count) {
    const std::size_t room = limit_ - std::min(limit_, output_.size());
    if (count > room) {
      truncated_ = true;
      count = room;
    }
    output_.append(bytes, count);
  }

 private:
  std::string& output_;
  std::size_t limit_;
  bool& truncated_;
};

class Child {
 public:
  explicit Child(pid_t pid) : pid_(pid) {}
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // A child is never left behind unreaped, whatever path run() takes.
  ~Child() {
    if (!reaped_) {
      ::kill(pid_, SIGKILL);
      waitBlocking();
    }
  }

  // Reads the pipe until end of file, the child's end, or the deadline. False
  // when the deadline passed.
  bool readAll(int fd, const std::optional<Clock::time_point>& deadline, Capture& output) {
    char buffer[65536];
    for (;;) {
      // Look at the child now and then while the pipe is quiet: a process it
      // left behind may hold the pipe open long after the child has ended.
      int timeout = pollTimeout(deadline);
      if (timeout < 0 || timeout > kExitCheckMilliseconds) timeout = kExitCheckMilliseconds;
      pollfd entry{fd, POLLIN, 0};
      const int ready = ::poll(&entry, 1, timeout);
      if (ready < 0) {
        if (errno == EINTR) continue;
        return true;  // cannot watch the pipe any more; the exit still tells how it ended
      }
      if (ready == 0) {
        if (endedByNow()) {
          // Whatever the child wrote is in the pipe by now.
          drain(fd, output);
          return true;
        }
        if (deadline && Clock::now() >= *deadline) return false;
        continue;
      }
      const ssize_t count = ::read(fd, buffer, sizeof buffer);
      if (count > 0) {
        output.append(buffer, static_cast<std::size_t>(count));
      } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
        return true;
      }
    }
  }

  // Waits for the exit until the deadline. False when the deadline passed.
  bool waitUntil(const std::optional<Clock::time_point>& deadline) {
    if (reaped_) return true;
    if (!deadline) return waitBlocking();
    // No portable way to wait for a child with a limit: look often at first,
    // since most tools end at once, then less often.
    std::chrono::milliseconds pause{1};
    for (;;) {
      int waitStatus = 0;
      const pid_t done = ::waitpid(pid_, &waitStatus, WNOHANG);
      if (done == pid_) return reaped(waitStatus);
      if (done < 0 && errno != EINTR) return reaped(-1);
      const auto now = Clock::now();
      if (now >= *deadline) return false;
      sleepFor(std::min(pause, std::chrono::ceil<std::chrono::milliseconds>(*deadline - now)));
      pause = std::min(pause * 2, std::chrono::milliseconds{50});
    }
  }

  int kill() {
    ::kill(pid_, SIGKILL);
    waitBlocking();
    return exitStatus_;
  }

  int exitStatus() const { return exitStatus_; }

 private:
  bool waitBlocking() {
    int waitStatus = 0;
    for (;;) {
      const pid_t done = ::waitpid(pid_, &waitStatus, 0);
      if (done == pid_) return reaped(waitStatus);
      if (done < 0 && errno != EINTR) return reaped(-1);
    }
  }

  // Reaps the child if it has ended; true when it has.
  bool endedByNow() {
    int waitStatus = 0;
    for (;;) {
      const pid_t done = ::waitpid(pid_, &waitStatus, WNOHANG);
      if (done == pid_) return reaped(waitStatus);
      if (done == 0) return false;
      if (errno != EINTR) return reaped(-1);
    }
  }

  // Takes what is left in the pipe without waiting for more. A process the
  // child left behind could keep it filled for ever, so a pipe's worth of reads
  // at most.
  static void drain(int fd, Capture& output) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return;
    char buffer[65536];
    for (int reads = 0; reads < 16; ++reads) {
      const ssize_t count = ::read(fd, buffer, sizeof buffer);
      if (count > 0) {
        output.append(buffer, static_cast<std::size_t>(count));
      } else if (count == 0 || errno != EINTR) {
        return;
      }
    }
  }

  bool reaped(int waitStatus) {
    reaped_ = true;
    exitStatus_ = waitStatus == -1 ? -1 : statusFromWait(waitStatus);
    return true;
  }

  pid_t pid_;
  bool reaped_ = false;
  int exitStatus_ = -1;
};

ToolResult runChecked(const ToolRequest& request) {
  ToolResult result;
  if (request.program.empty() || request.program.front() != '/') {
    result.startError =
        startFailure(request.program, "the program is not named by an absolute path");
    return result;
  }

  FileDescriptor readEnd;
  FileDescriptor writeEnd;
  if (request.captureOutput) {
    if (int error = makePipe(readEnd, writeEnd)) {
      result.startError = startFailure(request.program, describeError(error));
      return result;
    }
  }

  SpawnSetup setup;
  if (int error = setup.configure(writeEnd.get())) {
    result.startError = startFailure(request.program, describeError(error));
    return result;
  }

  std::vector<char*> argv;
  argv.reserve(request.arguments.size() + 2);
  argv.push_back(const_cast<char*>(request.program.c_str()));
  for (const auto& argument : request.arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  std::optional<Clock::time_point> deadline;
  if (request.timeout) deadline = Clock::now() + *request.timeout;

  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, request.program.c_str(), setup.actions(),
                                  setup.attributes(), argv.data(), environ);
  if (error != 0) {
    result.startError = startFailure(request.program, describeError(error));
    return result;
  }
  result.started = true;
  Child child(pid);
  // Only the child may hold the writing end, or the end of its output would
  // never be seen.
  writeEnd.reset();

  bool inTime = true;
  if (request.captureOutput) {
    Capture capture(result.output, request.maxOutputBytes, result.outputTruncated);
    inTime = child.readAll(readEnd.get(), deadline, capture);
  }
  if (inTime) inTime = child.waitUntil(deadline);
  if (!inTime) {
    result.timedOut = true;
    result.exitStatus = child.kill();
  } else {
    result.exitStatus = child.exitStatus();
  }
  return result;
}

}  // namespace

ToolResult PosixToolRunner::run(const ToolRequest& request) {
  try {
    return runChecked(request);
  } catch (...) {
    // Only running out of memory can land here; the child, if any, has been
    // killed and reaped on the way out.
    ToolResult result;
    result.startError = startFailure(request.program, "out of memory");
    return result;
  }
}

}  // namespace kestrine
