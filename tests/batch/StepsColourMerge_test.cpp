// The colour, dark, flat and merge steps of nyxel-batch, run as the program itself.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "tests/batch/BatchRunner.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

// A 295,800-byte native raw file: 290 rows of 510 little-endian pixels, all `value`.
std::filesystem::path RawFile(const std::filesystem::path& dir, const std::string& name, int value) {
  std::vector<unsigned char> bytes(295800);
  for (size_t i = 0; i < bytes.size(); i += 2) {
    bytes[i] = static_cast<unsigned char>(value & 0xFF);
    bytes[i + 1] = static_cast<unsigned char>(value >> 8);
  }
  test::WriteBytes(dir / name, bytes);
  return dir / name;
}

int Pixel(const std::vector<unsigned char>& file, int row, int column) {
  const size_t at = static_cast<size_t>(row) * 1020 + column * 2;
  return file[at] | (file[at + 1] << 8);
}

TEST(StepsColourMergeTest, RefusalsAndUsage) {
  test::TempDir drive;
  const struct {
    std::string steps;
    int status;
    std::string err;
  } cases[] = {
      {"anti-alias", 1, "Image not Colour Converted"},
      {"low-pass-colour", 1, "Image not Colour Converted"},
      {"synthesize synthesize", 1, "Already Colour Converted"},
      {"colour-balance 128 0 0 2", 2, "colour-balance"},
      {"colour-balance 0 0 0 10", 2, "colour-balance"},
      {"chromatism 0 0 0 4", 2, "chromatism"},
      {"merge x 1 1 1 1 sideways", 2, "merge"},
      {"subtract-dark " + (drive.path() / "missing").string(), 1, "Sorry, you didn't choose an RV File"},
      {"rv-geometry on merge x 1 1 1 1 add", 1, "Sorry, Merging only available in standard Geometry."},
  };
  for (const auto& c : cases) {
    const test::BatchRun run = test::RunBatch(drive.path(), c.steps);
    EXPECT_EQ(run.status, c.status) << c.steps << "\n" << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.steps << "\n" << run.err;
  }
}

TEST(StepsColourMergeTest, ColourDarkAndMergeThroughFiles) {
  test::TempDir drive;
  const auto image = RawFile(drive.path(), "image~", 1000);
  const auto out = drive.path() / "out~";
  const std::string in = image.string() + " ";

  test::BatchRun run =
      test::RunBatch(drive.path(), "open " + in + "synthesize colour-balance 2 0 0 3 save " + out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::filesystem::file_size(out), 741240u);

  run = test::RunBatch(drive.path(), "open " + in + "subtract-dark " + in + "save " + out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  auto bytes = test::ReadBytes(out);
  ASSERT_EQ(bytes.size(), 295800u);
  EXPECT_EQ(Pixel(bytes, 100, 100), 0);

  // Equal marks add pixel by pixel except row 0 and columns 0 and 510, 511.
  run = test::RunBatch(drive.path(), "open " + in + "merge " + in + "100 100 100 100 add save " + out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  bytes = test::ReadBytes(out);
  EXPECT_EQ(Pixel(bytes, 100, 100), 2000);
  EXPECT_EQ(Pixel(bytes, 289, 509), 2000);
  EXPECT_EQ(Pixel(bytes, 0, 100), 1000);
  EXPECT_EQ(Pixel(bytes, 100, 0), 1000);

  run = test::RunBatch(drive.path(), "open " + in + "merge " + in + "100 100 100 100 average save " + out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Pixel(test::ReadBytes(out), 100, 100), 1000);
}

}  // namespace
}  // namespace nyxel
