#include "storage/file_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_folder.h"

namespace kestrine {
namespace {

using namespace ::kestrine::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(WriteFileSafely, CreatesWithTheUmaskThenReplacesKeepingTheMode) {
  TempFolder home;
  const auto target = home / "data.json";
  const mode_t umask = ::umask(027);
  EXPECT_EQ(writeFileSafely(target, ""), std::nullopt);
  ::umask(umask);
  EXPECT_EQ(readText(target), "");
  EXPECT_EQ(modeOf(target), 0640U);
  ::chmod(target.c_str(), 0604);
  const std::string large(3'000'000, 'x');
  EXPECT_EQ(writeFileSafely(target, large), std::nullopt);
  EXPECT_EQ(readText(target), large);
  EXPECT_EQ(modeOf(target), 0604U);
  EXPECT_THAT(home.entries(), ElementsAre("data.json"));
}

// Whatever a link points to, the save puts a regular file in its place and
// leaves the link's target alone.
TEST(WriteFileSafely, ReplacesASymbolicLinkInsteadOfWritingThroughIt) {
  TempFolder home;
  std::filesystem::create_directory(home / "dir");
  writeText(home / "locked", "locked");
  ::chmod((home / "locked").c_str(), 0444);
  writeText(home / "plain", "plain");
  for (const char* pointee : {"dir", "locked", "plain", "missing"}) {
    const auto target = home / "data.json";
    std::filesystem::remove(target);
    std::filesystem::create_symlink(home / pointee, target);
    EXPECT_FALSE(isLockedFile(target)) << pointee;
    EXPECT_EQ(writeFileSafely(target, "new"), std::nullopt) << pointee;
    EXPECT_FALSE(std::filesystem::is_symlink(target)) << pointee;
    EXPECT_EQ(readText(target), "new");
  }
  EXPECT_EQ(readText(home / "locked"), "locked");
  EXPECT_EQ(readText(home / "plain"), "plain");
  EXPECT_TRUE(std::filesystem::is_empty(home / "dir"));
}

// Earlier runs killed mid-save left temporary files: the first save removes
// ours, and only ours.
TEST(WriteFileSafely, FirstSaveRemovesOnlyOurStaleTemporaryFiles) {
  TempFolder home;
  writeText(home / "data.json.tmp-k3v9x2ab", "stale");
  writeText(home / "data.json.tmp-00000000", "stale");
  std::filesystem::create_directory(home / "data.json.tmp-dir45678");
  std::filesystem::create_symlink(home / "kept", home / "data.json.tmp-link5678");
  writeText(home / "kept", "kept");
  writeText(home / "data.json.tmp-short", "kept");
  writeText(home / "data.json.tmp-ABCDEFGH", "kept");
  writeText(home / "data.json.tmp-abcdefghi", "kept");
  writeText(home / "other.json.tmp-k3v9x2ab", "kept");
  EXPECT_EQ(writeFileSafely(home / "data.json", "new"), std::nullopt);
  EXPECT_THAT(home.entries(),
              ElementsAre("data.json", "data.json.tmp-ABCDEFGH", "data.json.tmp-abcdefghi",
                          "data.json.tmp-dir45678", "data.json.tmp-link5678", "data.json.tmp-short",
                          "kept", "other.json.tmp-k3v9x2ab"));
}

// Folders that root could get into anyway. One that cannot be opened for the
// flush after the rename still saves: the new content is already in place.
// One that cannot be written into keeps the old file.
TEST(WriteFileSafely, FolderPermissionsOfOrdinaryUsers) {
  if (::geteuid() == 0) GTEST_SKIP() << "root opens and writes into any folder";
  TempFolder home;
  const auto target = home / "data.json";
  writeText(target, "old");
  ::chmod(home.path().c_str(), 0300);
  EXPECT_EQ(writeFileSafely(target, "new"), std::nullopt);
  ::chmod(home.path().c_str(), 0555);
  const auto error = writeFileSafely(target, "newer");
  ::chmod(home.path().c_str(), 0755);
  ASSERT_TRUE(error.has_value());
  EXPECT_THAT(*error, HasSubstr("Permission denied"));
  EXPECT_EQ(readText(target), "new");
}

// A bare file name lives in the working directory, which is the one flushed.
TEST(WriteFileSafely, SavesABareNameInTheWorkingDirectory) {
  TempFolder home;
  const auto saved = std::filesystem::current_path();
  std::filesystem::current_path(home.path());
  const auto error = writeFileSafely("data.json", "new");
  std::filesystem::current_path(saved);
  EXPECT_EQ(error, std::nullopt);
  EXPECT_EQ(readText(home / "data.json"), "new");
  EXPECT_THAT(home.entries(), ElementsAre("data.json"));
}

// Each case fails for root as well: root may write anywhere, but not into a
// directory that does not exist, through a regular file, or over a directory,
// and a file without write bits is refused on purpose.
struct WriteFailureCase {
  const char* name;
  void (*prepare)(const TempFolder& home);
  const char* target;  // relative to the home
  const char* expectedError;
};

const WriteFailureCase kWriteFailures[] = {
    {"MissingDirectory", [](const TempFolder&) {}, "no-such-dir/data.json",
     "No such file or directory"},
    {"ParentIsARegularFile", [](const TempFolder& home) { writeText(home / "plain", "x"); },
     "plain/data.json", "Not a directory"},
    {"TargetIsADirectory",
     [](const TempFolder& home) { std::filesystem::create_directory(home / "data.json"); },
     "data.json", "Is a directory"},
    {"TargetIsReadOnly",
     [](const TempFolder& home) {
       writeText(home / "data.json", "locked");
       ::chmod((home / "data.json").c_str(), 0444);
     },
     "data.json", "Permission denied"},
};

TEST(WriteFileSafely, FailureReportsAndLeavesEverythingAsItWas) {
  for (const WriteFailureCase& c : kWriteFailures) {
    TempFolder home;
    c.prepare(home);
    const auto before = home.entries();
    const auto target = home / c.target;
    const std::string oldContent =
        std::filesystem::is_regular_file(target) ? readText(target) : std::string();
    const auto error = writeFileSafely(target, "new content");
    ASSERT_TRUE(error.has_value()) << c.name;
    EXPECT_THAT(*error, HasSubstr(c.expectedError)) << c.name;
    EXPECT_EQ(home.entries(), before) << c.name;  // no temporary file left behind
    if (std::filesystem::is_regular_file(target)) {
      EXPECT_EQ(readText(target), oldContent);
    }
  }
}
// A write that fails half-way (a full disk, a quota) must not leave a
// truncated file, and a file-size limit must not end the process with SIGXFSZ.
// The limit makes write() fail for real, root included.
TEST(WriteFileSafely, FailedWriteKeepsTheOldFileWhole) {
  TempFolder home;
  const auto target = home / "data.json";
  writeText(target, "old");

  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const auto error = writeFileSafely(target, std::string(5000, 'n'));
  ::setrlimit(RLIMIT_FSIZE, &saved);

  ASSERT_TRUE(error.has_value());
  EXPECT_THAT(*error, HasSubstr("File too large"));
  EXPECT_EQ(readText(target), "old");
  EXPECT_THAT(home.entries(), ElementsAre("data.json"));
}

// The learning file is read at every start: a buffer that grew past the size
// fstat gave would mean a second allocation of twice the file and a full copy.
TEST(ReadWholeFile, ReadsTheBytesIntoABufferOfTheirSizeWithSpareCapacity) {
  TempFolder home;
  for (const std::string& content :
       {std::string("{\"x\":\"\xc3\xa9\"}\0tail", 15), std::string(4'000'000, 'j')}) {
    writeText(home / "f", content);
    const FileReadResult result = readWholeFile(home / "f");
    ASSERT_TRUE(result.bytes.has_value()) << result.error;
    EXPECT_EQ(*result.bytes, content);
    EXPECT_GE(result.bytes->capacity() - result.bytes->size(), kReadSlack);
    EXPECT_LE(result.bytes->capacity(), content.size() + 4 * kReadSlack);
  }
}

// Files whose size fstat does not know are read to their end all the same.
TEST(ReadWholeFile, ReadsOnPastTheAnnouncedSize) {
  if (!std::filesystem::exists("/proc/self/status")) GTEST_SKIP() << "no /proc on this system";
  const FileReadResult result = readWholeFile("/proc/self/status");
  ASSERT_TRUE(result.bytes.has_value()) << result.error;
  EXPECT_THAT(*result.bytes, HasSubstr("Name:"));
  EXPECT_GE(result.bytes->capacity() - result.bytes->size(), kReadSlack);
  // ... but not past the limit.
  EXPECT_THAT(readWholeFile("/proc/self/status", 16).error, HasSubstr(": at least "));
}

// Where a rename cannot work, across file systems here, a copy is kept instead.
TEST(KeepUnreadableFile, CopiesWhatCannotBeRenamed) {
  TempFolder home;
  const std::filesystem::path elsewhere = "/dev/shm/kestrine-keep-" + std::to_string(::getpid());
  struct stat here {
  }, there{};
  if (::stat("/dev/shm", &there) != 0 ||
      (::stat(home.path().c_str(), &here), here.st_dev == there.st_dev))
    GTEST_SKIP() << "no second file system at hand";
  writeText(elsewhere, "old");
  const KeptFile kept = keepUnreadableFile(elsewhere, home / "kept", 1024);
  std::filesystem::remove(elsewhere);
  EXPECT_EQ(kept.location, home / "kept");
  EXPECT_EQ(kept.error, std::nullopt);
  EXPECT_EQ(readText(home / "kept"), "old");
}

TEST(ReadWholeFile, RefusesWhatIsNotARegularFile) {
  TempFolder home;
  std::filesystem::create_directory(home / "dir");
  ASSERT_EQ(::mkfifo((home / "fifo").c_str(), 0600), 0);

  // A FIFO would block forever if opened for a plain read.
  for (const auto& [name, error] : {std::pair{"none", "No such file or directory"},
                                    {"dir", "Is a directory"},
                                    {"fifo", "not a regular file"}}) {
    const FileReadResult result = readWholeFile(home / name);
    EXPECT_FALSE(result.bytes) << name;
    EXPECT_THAT(result.error, HasSubstr(error));
  }
}

}  // namespace
}  // namespace kestrine
