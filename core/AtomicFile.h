#pragma once
// Writes a file so that nothing is lost: the bytes go to a temporary file beside the target, which
// replaces the target only when every write succeeded. On failure the target is untouched.
#include <cstddef>
#include <filesystem>

namespace nyxel {

class AtomicFile {
 public:
  // sync: flush to the disk before the rename (user files); the display bitmaps skip it for speed.
  explicit AtomicFile(std::filesystem::path target, bool sync = true);
  ~AtomicFile();  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file; false when it cannot be created (the writer's "not created" step),
  // also when the target exists and may not be written by this user: the rename must not get round
  // the target's permissions. A replaced file keeps its mode. Stale temporary files of the same
  // target left by a killed write are removed first.
  bool Open();
  // Writes all n bytes; false on a short or failed write.
  bool Write(const void* data, size_t n);
  // Flushes, closes and renames over the target; false when any of that fails.
  bool Commit();

  const std::filesystem::path& Target() const { return target_; }

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
  int fd_ = -1;
  bool sync_ = true;
  bool committed_ = false;
};

// The temporary files of a target are named ".<target name>.part-XXXXXX" in the target's folder and
// are locked while their write runs. Removes every one that no running write holds; returns how many.
int RemoveStaleTemporaries(const std::filesystem::path& target);

// Test seam: after this many more bytes every write comes up short (negative = never). Lets tests
// check that a writer reports a short write and leaves the previous file intact.
void SetAtomicWriteLimitForTesting(long long bytes);

}  // namespace nyxel
