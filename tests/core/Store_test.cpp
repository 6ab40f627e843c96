// The image store, the message table, the drive folder and the atomic writer.
#include <gtest/gtest.h>

#include <fstream>

#include "core/AtomicFile.h"
#include "core/Drive.h"
#include "core/ImageStore.h"
#include "core/Messages.h"
#include "core/RecordingHost.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

TEST(ImageStoreTest, StartsWithTheRampAndCopiesWholeFramesOnly) {
  auto store = ImageStore::Create();
  store->SpareFrame.fill(9);
  store->PaletteBits = 3;
  InitImageStore(*store);
  for (const Frame* f : {&store->CurrentFrame, &store->SecondFrame, &store->UndoFrame}) {
    for (int c = 0; c < kFrameWidth; ++c) {
      ASSERT_EQ((*f)[PixelIndex(0, c)], 0);
      ASSERT_EQ((*f)[PixelIndex(1, c)], 225);
      ASSERT_EQ((*f)[PixelIndex(289, c)], 65025);
    }
  }
  for (int i = 0; i < kFrameElements; ++i) ASSERT_EQ(store->SpareFrame[i], 0);
  EXPECT_EQ(store->FrameTable[0], &store->CurrentFrame);
  EXPECT_EQ(store->FrameTable[3], &store->SpareFrame);
  EXPECT_EQ(ImageStore::Create()->PaletteBits, 14);

  // Copies move the 148,480 pixels and never the spare elements.
  store->UndoFrame[kFramePixels] = 0xABCD;
  store->CurrentFrame[kFramePixels] = 0x1111;
  store->CurrentFrame[7] = 4242;
  SaveUndo(*store);
  EXPECT_EQ(store->UndoFrame[7], 4242);
  EXPECT_EQ(store->UndoFrame[kFramePixels], 0xABCD);
  store->UndoRed[kFramePixels] = 5;
  store->RedPlane.fill(1);
  CopyPlane(store->RedPlane, store->UndoRed);
  EXPECT_EQ(store->UndoRed[kFramePixels - 1], 1);
  EXPECT_EQ(store->UndoRed[kFramePixels], 5);
}

TEST(HistoryTest, KeepsAPrefixOfFifteenLines) {
  ProcessingHistory h;
  RemoveLastHistoryLine(h);  // nothing to remove
  EXPECT_EQ(h.UsedCount(), 0);
  for (int i = 0; i < 16; ++i) AddHistoryLine(h, "line " + std::to_string(i));
  EXPECT_EQ(h.UsedCount(), 15);
  EXPECT_EQ(h.Line(14), "line 14");  // the sixteenth is dropped
  RemoveLastHistoryLine(h);
  EXPECT_EQ(h.UsedCount(), 14);
  AddHistoryLine(h, std::string(60, 'x'));
  EXPECT_EQ(h.Line(14), std::string(39, 'x'));
  ClearHistory(h);
  EXPECT_EQ(h.UsedCount(), 0);
}

TEST(MessagesTest, TableTextsAndBufferLimits) {
  struct Case {
    int number;
    std::string text;
    std::string shown;
  };
  const std::string long_text(600, 'a');
  const Case cases[] = {
      {2, "", "Sorry, outside Image area - try again"},
      {3, "", "RV Interface not found.\n\nPort set to default.\n\nIf you have a QK Camera make sure all the cables are "
              "plugged in and it is switched on. "},
      {15, "", "Unable to load FITS file, File was not saved by this program"},
      {32, "ignored", "Cannot open bitmap file"},
      {50, long_text, std::string(498, 'a')},
      {50, std::string("cut\0here", 8), "cut"},
      {50, "USB BlockIO device not found", "USB BlockIO device not found"},
      {57, "", "Selfguiding interrupted or failed"},
      {0, "", ""},
      {36, "", ""},
      {55, "", ""},
      {99, "", ""},
      {-1, "", ""},
  };
  for (const Case& c : cases) {
    RecordingHost host;
    EXPECT_EQ(ShowMessage(host, c.number, c.text), kIdOk);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, c.shown) << c.number;
    EXPECT_EQ(host.boxes[0].caption, "Nyxel");
    EXPECT_EQ(host.boxes[0].icon, MessageIcon::None);
    EXPECT_EQ(host.boxes[0].buttons, MessageButtons::Ok);
  }
  for (int n : {33, 34, 35}) EXPECT_FALSE(MessageText(n).empty()) << n;
}

TEST(DriveTest, ResolvesDrivePathsWithoutRegardToCase) {
  test::TempDir dir;
  Drive drive(dir.path());
  const auto root = dir.path();
  EXPECT_EQ(drive.Resolve("c:\\nyxel.bmp"), root / "nyxel.bmp");
  EXPECT_EQ(drive.Resolve("c:\\Nyxel.bmp"), root / "nyxel.bmp");  // fixed names are lower case
  EXPECT_EQ(drive.Resolve("C:\\AUTOSAVE\\Nyxel.INI"), root / "autosave" / "nyxel.ini");
  std::filesystem::create_directories(root / "autosave" / "M42");
  EXPECT_EQ(drive.Resolve("c:\\AUTOSAVE\\m42\\IMG1.FIT"), root / "autosave" / "M42" / "IMG1.FIT");
  test::WriteBytes(root / "autosave" / "M42" / "img1.fit", {1});
  EXPECT_EQ(drive.Resolve("c:\\AUTOSAVE\\m42\\IMG1.FIT"), root / "autosave" / "M42" / "img1.fit");
  EXPECT_EQ(drive.Resolve("c:/autosave/new"), root / "autosave" / "new");
  EXPECT_EQ(drive.Resolve("c:\\..\\..\\etc\\passwd"), root / "etc" / "passwd");  // never leaves the drive
  EXPECT_EQ(drive.Resolve("/tmp/picked.fit"), std::filesystem::path("/tmp/picked.fit"));
  EXPECT_EQ(drive.Resolve("c:"), root);
}

TEST(AtomicFileTest, ReplacesOnlyWhenEveryWriteSucceeded) {
  test::TempDir dir;
  const auto target = dir.path() / "file.dat";
  test::WriteBytes(target, {1, 2, 3});
  {
    AtomicFile f(target);
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.Write("abcd", 4));
    // Not committed: the old file stays and the temporary file goes.
  }
  EXPECT_EQ(test::ReadBytes(target), (std::vector<unsigned char>{1, 2, 3}));
  {
    SetAtomicWriteLimitForTesting(5);
    AtomicFile f(target);
    ASSERT_TRUE(f.Open());
    EXPECT_TRUE(f.Write("abcd", 4));
    EXPECT_FALSE(f.Write("efgh", 4));
    SetAtomicWriteLimitForTesting(-1);
  }
  EXPECT_EQ(test::ReadBytes(target), (std::vector<unsigned char>{1, 2, 3}));
  {
    AtomicFile f(target);
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.Write("wxyz", 4));
    ASSERT_TRUE(f.Commit());
  }
  EXPECT_EQ(test::ReadBytes(target), (std::vector<unsigned char>{'w', 'x', 'y', 'z'}));
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) entries += e.exists();
  EXPECT_EQ(entries, 1u);
  AtomicFile nowhere(dir.path() / "missing-folder" / "x");
  EXPECT_FALSE(nowhere.Open());
  EXPECT_FALSE(nowhere.Write("a", 1));
  EXPECT_FALSE(nowhere.Commit());
}

}  // namespace
}  // namespace nyxel
