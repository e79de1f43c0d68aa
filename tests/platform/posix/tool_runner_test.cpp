#include "platform/posix/tool_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>

#include "support/temp_folder.h"

namespace kestrine {
namespace {

using testing::TempFolder;
using namespace std::chrono_literals;

ToolRequest request(std::string program, std::vector<std::string> arguments = {},
                    bool capture = true) {
  ToolRequest r;
  r.program = std::move(program);
  r.arguments = std::move(arguments);
  r.captureOutput = capture;
  // A runner that stopped reading would hang here; fail instead.
  r.timeout = 20s;
  return r;
}

class PosixToolRunnerTest : public ::testing::Test {
 protected:
  TempFolder folder;
  PosixToolRunner runner;
};

// True when this process has no child left, reaped or not.
bool noChildrenLeft() {
  int status = 0;
  return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

// SIGTERM is ignored here, as a caller may have it: the child gets it back.
// Without a time limit the runner waits for the end.
TEST_F(PosixToolRunnerTest, ExitStatuses) {
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGTERM, &ignore, &previous);
  for (const auto& [script, status] :
       {std::pair{"sleep 0.3; echo finished; exit 42", 42}, {"kill -TERM $$; exit 0", 128 + 15}}) {
    SCOPED_TRACE(script);
    ToolRequest r = request(folder.writeTool("status", script));
    r.timeout.reset();
    const ToolResult result = runner.run(r);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, status);
    EXPECT_TRUE(noChildrenLeft());
  }
  ::sigaction(SIGTERM, &previous, nullptr);
}

// Arguments arrive one by one without a shell; output bytes come back unchanged.
TEST_F(PosixToolRunnerTest, ArgumentsAndOutputBytesPassThroughUnchanged) {
  const std::string tool = folder.writeTool(
      "args", "printf '[%s]\\n' \"$@\"; printf '\\377\\376abc\\200\\000z'; exit 3");
  const ToolResult result =
      runner.run(request(tool, {"-e", "two words", "", "*", "$HOME", "'\"\\", "a\nb"}));
  EXPECT_EQ(result.output,
            "[-e]\n[two words]\n[]\n[*]\n[$HOME]\n['\"\\]\n[a\nb]\n" + std::string("\xff\xfe"
                                                                                   "abc\x80\0z",
                                                                                   8));
  EXPECT_EQ(result.exitStatus, 3);
}

TEST_F(PosixToolRunnerTest, ProgramsThatCannotStart) {
  const std::string plain = (folder / "not-executable").string();
  testing::writeText(plain, "#!/bin/sh\nexit 0\n");
  struct Case {
    std::string program;
    std::string error;
  };
  const Case cases[] = {
      {(folder / "missing").string(),
       "Could not start " + (folder / "missing").string() + ": No such file or directory"},
      {plain, "Could not start " + plain + ": Permission denied"},
      {"sh", "Could not start sh: the program is not named by an absolute path"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    for (bool capture : {true, false}) {
      const ToolResult result = runner.run(request(c.program, {}, capture));
      EXPECT_FALSE(result.started);
      EXPECT_EQ(result.startError, c.error);
      EXPECT_TRUE(result.output.empty());
    }
  }
}

TEST_F(PosixToolRunnerTest, OutputLargerThanAPipeIsReadWhileTheChildRuns) {
  // 4 MiB: far beyond any pipe buffer, so the child can only finish if the
  // runner reads before it waits, also once it has stopped keeping the bytes.
  constexpr std::size_t kWritten = 4 * 1024 * 1024;
  const std::string tool = folder.writeTool("big", "yes 0123456789abcde | head -c 4194304; exit 7");
  struct Case {
    std::size_t limit;
    std::size_t kept;
    bool truncated;
  };
  const Case cases[] = {
      {kWritten, kWritten, false},  // exactly at the limit
                                    // loses nothing
      {kWritten - 1, kWritten - 1, true},
      {0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limit);
    ToolRequest r = request(tool);
    r.maxOutputBytes = c.limit;
    const ToolResult result = runner.run(r);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 7);
    EXPECT_EQ(result.outputTruncated, c.truncated);
    ASSERT_EQ(result.output.size(), c.kept);
    EXPECT_EQ(result.output.substr(0, 20), std::string("0123456789abcde\n0123").substr(0, c.kept));
    EXPECT_EQ(result.output.find_first_not_of("0123456789abcde\n"), std::string::npos);
  }
}

// Also a child that closed its output but runs on.
TEST_F(PosixToolRunnerTest, HangingChildIsKilledAtTheTimeLimit) {
  for (const char* script :
       {"echo partial\nexec sleep 30", "echo partial\nexec >&-\nexec sleep 30"}) {
    for (bool capture : {true, false}) {
      SCOPED_TRACE(std::string(script) + (capture ? ", captured" : ""));
      ToolRequest r = request(folder.writeTool("hang", script), {}, capture);
      r.timeout = 200ms;
      const auto start = std::chrono::steady_clock::now();
      const ToolResult result = runner.run(r);
      const auto took = std::chrono::steady_clock::now() - start;
      EXPECT_TRUE(result.started);
      EXPECT_TRUE(result.timedOut);
      EXPECT_EQ(result.exitStatus, 128 + 9);
      EXPECT_GE(took, 200ms);
      EXPECT_LT(took, 10s);
      EXPECT_EQ(result.output, capture ? "partial\n" : "");
      EXPECT_TRUE(noChildrenLeft());
    }
  }
}

// A process the tool leaves behind may hold the pipe open long after the tool
// has ended; the tool's own output is complete all the same.
TEST_F(PosixToolRunnerTest, OutputEndsWithTheChildNotWithWhatItLeftBehind) {
  const std::string pidFile = (folder / "left-behind.pid").string();
  ToolRequest r = request(
      folder.writeTool("leaves", "sleep 20 &\necho $! > '" + pidFile + "'\necho report\nexit 5"));
  r.timeout = 15s;
  const auto start = std::chrono::steady_clock::now();
  const ToolResult result = runner.run(r);
  const auto took = std::chrono::steady_clock::now() - start;
  const pid_t leftBehind = static_cast<pid_t>(std::stol(testing::readText(pidFile)));
  ::kill(leftBehind, SIGKILL);
  EXPECT_LT(took, 5s);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitStatus, 5);
  EXPECT_EQ(result.output, "report\n");
  EXPECT_TRUE(noChildrenLeft());
}

// One of the application's standard streams sent to a file, or closed when no
// file is given, for the life of the object.
class RedirectedStream {
 public:
  explicit RedirectedStream(int stream, const std::string& file = {}) : stream_(stream) {
    std::fflush(stdout);
    saved_ = ::fcntl(stream, F_DUPFD_CLOEXEC, 10);
    if (file.empty()) {
      ::close(stream);
      return;
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ::dup2(fd, stream);
    ::close(fd);
  }
  ~RedirectedStream() {
    std::fflush(stdout);
    ::dup2(saved_, stream_);
    ::close(saved_);
  }

 private:
  int stream_;
  int saved_;
};

TEST_F(PosixToolRunnerTest, UncapturedOutputGoesToTheApplicationsOwn) {
  const std::string tool = folder.writeTool("talk", "echo to-our-stdout");
  const std::string sink = (folder / "stdout.txt").string();
  ToolResult result;
  {
    RedirectedStream redirect(STDOUT_FILENO, sink);
    result = runner.run(request(tool, {}, false));
  }
  EXPECT_TRUE(result.output.empty());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(testing::readText(sink), "to-our-stdout\n");
}

TEST_F(PosixToolRunnerTest, ApplicationStartedWithoutAStandardStreamStillRunsTools) {
  const std::string marker = (folder / "ran.txt").string();
  const std::string tool = folder.writeTool("mark", "echo ran > " + marker + "; echo out");
  for (int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    for (bool capture : {true, false}) {
      SCOPED_TRACE("stream " + std::to_string(stream) + (capture ? ", captured" : ""));
      ::unlink(marker.c_str());
      ToolResult result;
      {
        RedirectedStream closed(stream);
        result = runner.run(request(tool, {}, capture));
      }
      EXPECT_EQ(testing::readText(marker), "ran\n");
      EXPECT_FALSE(result.timedOut);
      EXPECT_EQ(result.output, capture ? "out\n" : "");
    }
  }
}

TEST_F(PosixToolRunnerTest, ChildInheritsOnlyTheStandardDescriptors) {
  if (!std::filesystem::exists("/proc/self/fd")) GTEST_SKIP() << "no /proc on this system";
  // A descriptor the application opened without close-on-exec, as some
  // libraries do.
  const int leaky = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaky, 0);
  const int high = ::dup2(leaky, 57);
  ASSERT_EQ(high, 57);
  // `ls` lists the descriptors it holds itself: 0, 1, 2 and the one it reads the
  // directory through; the shell wrapper would add its own, so run ls directly.
  for (bool capture : {true, false}) {
    SCOPED_TRACE(capture);
    const std::string listing = (folder / "fds.txt").string();
    ToolRequest r = request("/bin/sh", {"-c", "exec ls /proc/self/fd > " + listing}, capture);
    const ToolResult result = runner.run(r);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_THAT(testing::readText(listing), ::testing::MatchesRegex("([0-3]\n)*"));
  }
  ::close(leaky);
  ::close(high);
}

}  // namespace
}  // namespace kestrine
