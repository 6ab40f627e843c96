// The atomic writer against a hostile file system: targets the user may not write, modes, and the
// temporary files that killed writes leave behind.
#include "core/AtomicFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

bool Save(const fs::path& target, const std::string& text) {
  AtomicFile f(target);
  return f.Open() && f.Write(text.data(), text.size()) && f.Commit();
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AtomicFileTest, KeepsTheTargetsPermissionsAndMode) {
  test::TempDir dir;
  const fs::path target = dir.path() / "image.FIT";
  struct Case {
    mode_t mode;
    bool replaced;
  };
  // No write bit at all refuses even for root, who may write anything: the rename would otherwise
  // replace a write-protected file that an in-place write by this user could not have changed.
  for (const Case& c :
       {Case{0444, false}, Case{0400, false}, Case{0640, true}, Case{0600, true}, Case{0664, true}}) {
    test::WriteBytes(target, {'o', 'l', 'd'});
    ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
    EXPECT_EQ(Save(target, "new"), c.replaced) << std::oct << c.mode;
    const auto b = test::ReadBytes(target);
    EXPECT_EQ(std::string(b.begin(), b.end()), c.replaced ? "new" : "old") << std::oct << c.mode;
    EXPECT_EQ(ModeOf(target), c.mode) << std::oct << c.mode;
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"image.FIT"}) << std::oct << c.mode;
    ::chmod(target.c_str(), 0644);
  }
  // A new file is 0644.
  const fs::path fresh = dir.path() / "fresh";
  ASSERT_TRUE(Save(fresh, "x"));
  EXPECT_EQ(ModeOf(fresh), 0644u);
}

TEST(AtomicFileTest, StaleTemporaryFilesOfTheTargetGoOnItsNextWrite) {
  test::TempDir dir;
  const fs::path target = dir.path() / "IMG3.FIT";
  test::WriteBytes(target, {'o', 'l', 'd'});
  // What killed writes left: two temporary files of this target; the others are not this target's.
  const std::vector<std::string> stale = {".IMG3.FIT.part-a1B2c3", ".IMG3.FIT.part-zzzzzz"};
  const std::vector<std::string> kept = {".IMG3.FIT.part-toolong1", ".IMG3.FIT.bak123",
                                         ".IMG4.FIT.part-a1B2c3", "IMG3.FIT.part-a1B2c3"};
  for (const auto& n : stale) test::WriteBytes(dir.path() / n, {'x'});
  for (const auto& n : kept) test::WriteBytes(dir.path() / n, {'x'});
  // One more held by a write that is still running (its lock) stays.
  const fs::path running = dir.path() / ".IMG3.FIT.part-RUNNIN";
  test::WriteBytes(running, {'x'});
  const int held = ::open(running.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  ASSERT_TRUE(Save(target, "new"));
  std::vector<std::string> expected = kept;
  expected.push_back("IMG3.FIT");
  expected.push_back(running.filename().string());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(dir.path()), expected);
  ::close(held);
  EXPECT_EQ(RemoveStaleTemporaries(target), 1);
  EXPECT_FALSE(fs::exists(running));

  // While a write runs its own temporary file is locked, so a clean-up leaves it alone.
  AtomicFile f(target);
  ASSERT_TRUE(f.Open());
  EXPECT_EQ(RemoveStaleTemporaries(target), 0);
  ASSERT_TRUE(f.Write("abc", 3));
  ASSERT_TRUE(f.Commit());
  const auto b = test::ReadBytes(target);
  EXPECT_EQ(std::string(b.begin(), b.end()), "abc");
}

}  // namespace
}  // namespace nyxel
