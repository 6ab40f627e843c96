#include <gtest/gtest.h>

#include "camera/CameraProtocol.h"
#include "core/RecordingHost.h"
#include "tests/camera/FakeTransport.h"

namespace nyxel {
namespace {

using test::FakeTransport;

// A camera with both channels open on a scripted transport.
struct Rig {
  Rig() : store_owner(ImageStore::Create()), store(*store_owner), camera(transport, host, clock) {
    camera.HidHandle = 1;
    camera.BlockIOHandle = 2;
    camera.CameraPresent = true;
  }
  // The 8 payload bytes of every report written so far.
  std::vector<std::vector<uint8_t>> Commands() const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& w : transport.writes) out.emplace_back(w.begin() + 1, w.end());
    return out;
  }
  int CountControl(int code) const {
    int n = 0;
    for (const auto& c : Commands()) n += c[0] == 2 && c[1] == code;
    return n;
  }

  FakeTransport transport;
  RecordingHost host;
  SimulatedClock clock{1000};
  std::unique_ptr<ImageStore> store_owner;
  ImageStore& store;
  Camera camera;
};

using Bytes = std::vector<uint8_t>;

TEST(CameraProtocol, ReadCommandBytes) {
  struct Case {
    int exposure_ms;
    int window_x, window_y;  // 0: full frame
    Bytes expect;
  };
  const std::vector<Case> cases = {
      {499, 0, 0, {4, 0xF3, 0x01, 0, 0, 0, 0, 0}}, {500, 0, 0, {4, 0, 0, 0, 0, 0, 0, 0}},
      {255, 0, 0, {4, 0xFF, 0x00, 0, 0, 0, 0, 0}}, {256, 0, 0, {4, 0x00, 0x01, 0, 0, 0, 0, 0}},
      {60000, 0, 0, {4, 0, 0, 0, 0, 0, 0, 0}},     {400, 376, 160, {4, 0x90, 0x01, 160, 66, 133, 117, 1}},
      {1000, 3, 1, {4, 0, 0, 1, 225, 9, 241, 1}},  {10, 184, 65, {4, 10, 0, 65, 161, 69, 181, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exposure_ms);
    Rig rig;
    rig.camera.ExposureMs = c.exposure_ms;
    SendControl(rig.camera, kControlEndIntegration);
    if (c.window_x == 0) {
      ReadFullFrame(rig.camera, rig.store.CurrentFrame);
      EXPECT_EQ(rig.camera.ReadLength, kFullFrameReadLength);
    } else {
      rig.camera.FocusWindowX = c.window_x;
      rig.camera.FocusWindowY = c.window_y;
      ReadWindow(rig.camera, rig.store.CurrentFrame);
      EXPECT_EQ(rig.camera.ReadLength, kWindowReadLength);
    }
    ASSERT_EQ(rig.Commands().size(), 2u);
    EXPECT_EQ(rig.Commands()[0], (Bytes{2, 3, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rig.Commands()[1], c.expect);
    EXPECT_EQ(rig.transport.read_sizes.back(), rig.camera.ReadLength);
  }
}

TEST(CameraProtocol, FullFrameReadInheritsWindowColumnsOnlyWithoutAControlInBetween) {
  Rig rig;
  rig.camera.ExposureMs = 1000;
  ReadWindow(rig.camera, rig.store.CurrentFrame);
  ReadFullFrame(rig.camera, rig.store.CurrentFrame);
  EXPECT_EQ(rig.Commands()[1], (Bytes{4, 0, 0, 0, 0, 69, 181, 0}));
}

TEST(CameraProtocol, ExposureUnits) {
  struct Case {
    char unit;
    int value;
    bool minutes;
    int expect;
  };
  for (const Case& c : std::vector<Case>{{'q', 5, true, 5},
                                         {'h', 5, true, 50},
                                         {'t', 4, true, 400},
                                         {'s', 2, true, 2000},
                                         {'m', 3, true, 180000},
                                         {'m', 3, false, 3000},
                                         {'x', 7, false, 7000}}) {
    EXPECT_EQ(ExposureFromUnit(c.unit, c.value, c.minutes), c.expect) << c.unit << c.value;
  }
}

TEST(CameraProtocol, HostWait) {
  struct Case {
    int exposure_ms;
    uint32_t expect_elapsed;
    int expect_clears;
  };
  // The wait turns once per millisecond, so "every turn" is one clear per millisecond waited.
  for (const Case& c : std::vector<Case>{
           {10, 0, 0}, {499, 0, 0}, {500, 500, 0}, {600, 600, 0}, {601, 601, 601}, {4000, 4000, 4000}}) {
    SCOPED_TRACE(c.exposure_ms);
    Rig rig;
    HostWait(rig.camera, c.exposure_ms);
    EXPECT_EQ(rig.clock.NowMs() - 1000, c.expect_elapsed);
    EXPECT_EQ(rig.CountControl(kControlClear), c.expect_clears);
    EXPECT_EQ(static_cast<int>(rig.Commands().size()), c.expect_clears);
  }
  // A deadline across the wrap of the millisecond count is still reached.
  Rig rig;
  rig.clock.Advance(0xFFFFFFFFu - 1200);
  HostWait(rig.camera, 700);
  EXPECT_EQ(rig.clock.NowMs(), 1000u + 0xFFFFFFFFu - 1200 + 700);
  EXPECT_EQ(rig.CountControl(kControlClear), 700);
}

TEST(CameraProtocol, FullFramePlacement) {
  Rig rig;
  // Every 16-bit value of the download names its line and pixel.
  rig.transport.bulk.resize(kFullFrameReadLength);
  for (uint32_t i = 0; i < kFullFrameReadLength / 2; ++i) {
    const uint32_t line = i / kSensorLinePixels, pixel = i % kSensorLinePixels;
    const uint16_t value = static_cast<uint16_t>(line * 200 + pixel);
    rig.transport.bulk[2 * i] = value & 0xFF;
    rig.transport.bulk[2 * i + 1] = value >> 8;
  }
  rig.store.CurrentFrame.fill(0xBEEF);
  ReadFullFrame(rig.camera, rig.store.CurrentFrame);
  int wrong = 0;
  for (int row = 0; row < kFrameHeight; ++row) {
    for (int column = 0; column < kFrameWidth; ++column) {
      const uint16_t expect = column < 510 ? static_cast<uint16_t>((row + 7) * 200 + column + 19) : 0xBEEF;
      wrong += rig.store.CurrentFrame[PixelIndex(row, column)] != expect;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(rig.store.CurrentFrame[0], 7 * 200 + 19);  // byte 8,102 = line 7, pixel 19
  EXPECT_EQ(rig.store.CurrentFrame[kFramePixels], 0xBEEF);
}

TEST(CameraProtocol, WindowPlacementAndFailedReadKeepsCopyingTheStaleBuffer) {
  Rig rig;
  rig.transport.bulk.resize(kWindowReadLength);
  for (uint32_t i = 0; i < kWindowReadLength; ++i) rig.transport.bulk[i] = static_cast<uint8_t>(i * 7);
  rig.store.CurrentFrame.fill(0xBEEF);
  ReadWindow(rig.camera, rig.store.CurrentFrame);
  for (int i : {0, 1, 127, 128, 16383}) {
    EXPECT_EQ(rig.store.CurrentFrame[i], (((2 * i + 1) * 7) & 0xFF) << 8 | ((2 * i * 7) & 0xFF)) << i;
  }
  EXPECT_EQ(rig.store.CurrentFrame[16384], 0xBEEF);

  rig.transport.read_error = ENODEV;
  rig.transport.bulk.assign(kWindowReadLength, 0);
  ReadWindow(rig.camera, rig.store.CurrentFrame);
  EXPECT_EQ(rig.host.Texts(), std::vector<std::string>{"Error 19 trying to read BlockIO data from USB\n"});
  EXPECT_EQ(rig.store.CurrentFrame[1], (21 << 8) | 14);  // what the buffer still held
}

TEST(CameraProtocol, WindowMaximum) {
  struct Spot {
    int row, column, value;
  };
  struct Case {
    const char* name;
    std::vector<Spot> spots;
    int expect;
  };
  const std::vector<Case> cases = {
      {"empty", {}, 0},
      {"single bright pixel", {{60, 60, 40000}}, 0},
      {"two rows tall", {{60, 60, 40000}, {61, 60, 30000}}, 7500},
      {"two columns wide only", {{60, 60, 40000}, {60, 61, 40000}}, 0},
      {"the lower pixel's value is taken", {{60, 60, 400}, {61, 60, 40000}}, 10000},
      {"row 11 above row 12 counts", {{11, 60, 4000}, {12, 60, 4000}}, 1000},
      {"rows 10, 11 are outside", {{10, 60, 4000}, {11, 60, 4000}}, 0},
      {"rows 125, 126: only 125 scanned", {{125, 60, 4000}, {126, 60, 8000}}, 0},
      {"column 4 outside", {{40, 4, 4000}, {41, 4, 4000}}, 0},
      {"column 125 inside", {{40, 125, 4000}, {41, 125, 4000}}, 1000},
      {"column 126 outside", {{40, 126, 4000}, {41, 126, 4000}}, 0},
      {"quarter truncates", {{40, 40, 4003}, {41, 40, 4003}}, 1000},
      {"the scan keeps the largest", {{20, 20, 800}, {21, 20, 800}, {90, 90, 2000}, {91, 90, 2000}}, 500},
  };
  auto store = ImageStore::Create();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Frame& window = store->CurrentFrame;
    window.fill(0);
    for (const Spot& s : c.spots) window[s.row * kFocusSize + s.column] = static_cast<uint16_t>(s.value);
    EXPECT_EQ(WindowMaximum(window), c.expect);
  }
}

TEST(CameraProtocol, PaletteStretchOfTheWindow) {
  struct Case {
    int bits;
    int max_palette_all;
    int pixel;
    int expect;
  };
  const std::vector<Case> cases = {
      {12, 0, 4096, 65535},  {12, 0, 4000, 64000}, {12, 0, 0, 0},
      {13, 0, 8191, 65528},  {13, 0, 8192, 65535}, {14, 0, 100, 400},
      {15, 0, 32768, 65535}, {16, 0, 4000, 4000},  {12, 1, 4000, 4000},
  };
  auto store = ImageStore::Create();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits * 100000 + c.pixel);
    store->PaletteBits = c.bits;
    store->MaxPaletteAll = c.max_palette_all;
    store->CurrentFrame.fill(static_cast<uint16_t>(c.pixel));
    PaletteStretchWindow(*store, store->CurrentFrame);
    EXPECT_EQ(store->CurrentFrame[0], c.expect);
    EXPECT_EQ(store->CurrentFrame[kFocusPixels - 1], c.expect);
    EXPECT_EQ(store->CurrentFrame[kFocusPixels], c.pixel);  // outside the window
  }
}

TEST(CameraProtocol, WindowSequences) {
  struct Case {
    const char* name;
    int kind;  // 0 focus, 1 guide, 2 guiding
    char unit;
    int value;  // guiding: milliseconds
    bool half_time_done;
    Bytes first, second, end, read;
    int clears_between;
    uint32_t waited;
  };
  const std::vector<Case> cases = {
      {"focus 0.4 s: camera timed",
       0,
       't',
       4,
       false,
       {2, 2},
       {2, 1},
       {2, 3},
       {4, 0x90, 0x01, 65, 161, 69, 181, 1},
       0,
       0},
      {"focus 2 s: host timed",
       0,
       's',
       2,
       false,
       {2, 2},
       {2, 1},
       {2, 3},
       {4, 0, 0, 65, 161, 69, 181, 1},
       2000,
       2000},
      {"guide frame, minutes count as seconds",
       1,
       'm',
       1,
       false,
       {2, 2},
       {2, 1},
       {2, 3},
       {4, 0, 0, 65, 161, 69, 181, 1},
       1000,
       1000},
      {"guiding, first half",
       2,
       0,
       300,
       false,
       {2, 2},
       {},
       {2, 4},
       {4, 0x2C, 0x01, 65, 161, 69, 181, 1},
       0,
       0},
      {"guiding, second half",
       2,
       0,
       2000,
       true,
       {2, 2},
       {},
       {2, 5},
       {4, 0, 0, 65, 161, 69, 181, 1},
       2000,
       2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.camera.ExposureMs = 60000;  // a main exposure in progress
    rig.camera.HalfTimeReadoutDone = c.half_time_done;
    rig.transport.bulk.assign(kWindowReadLength, 0);
    if (c.kind == 0) {
      TakeFocusFrame(rig.camera, rig.store, c.unit, c.value);
    } else if (c.kind == 1) {
      TakeGuideFrame(rig.camera, rig.store, c.unit, c.value);
    } else {
      TakeGuidingFrame(rig.camera, rig.store, c.value);
    }
    const auto commands = rig.Commands();
    const size_t head = c.second.empty() ? 1 : 2;
    ASSERT_EQ(commands.size(), head + c.clears_between + 2);
    EXPECT_EQ(Bytes(commands[0].begin(), commands[0].begin() + 2), c.first);
    if (!c.second.empty()) {
      EXPECT_EQ(Bytes(commands[1].begin(), commands[1].begin() + 2), c.second);
    }
    const auto& end = commands[commands.size() - 2];
    EXPECT_EQ(Bytes(end.begin(), end.begin() + 2), c.end);
    EXPECT_EQ(commands.back(), c.read);
    EXPECT_EQ(rig.clock.NowMs() - 1000, c.waited);
    // The guiding frame leaves the main exposure's value alone.
    const int expect_exposure = c.kind == 2 ? 60000 : ExposureFromUnit(c.unit, c.value, false);
    EXPECT_EQ(rig.camera.ExposureMs, expect_exposure);
  }
}

TEST(CameraProtocol, FocusFrameMaximumIsTakenBeforeTheStretch) {
  Rig rig;
  rig.store.PaletteBits = 12;
  rig.transport.bulk.assign(kWindowReadLength, 0);
  auto put = [&](int row, int column, uint16_t value) {
    rig.transport.bulk[2 * (row * kFocusSize + column)] = value & 0xFF;
    rig.transport.bulk[2 * (row * kFocusSize + column) + 1] = value >> 8;
  };
  put(50, 50, 4000);
  put(51, 50, 3000);
  put(80, 80, 9000);  // a hot pixel
  EXPECT_EQ(TakeFocusFrame(rig.camera, rig.store, 'h', 5), 750);
  EXPECT_EQ(rig.store.CurrentFrame[50 * kFocusSize + 50], 64000);
  EXPECT_EQ(rig.store.CurrentFrame[80 * kFocusSize + 80], 65535);
}

}  // namespace
}  // namespace nyxel
