// Dark-frame subtraction, flat fielding and the two-image merge.
#include "processing/DarkFlatMerge.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "core/Display.h"
#include "core/History.h"
#include "core/Messages.h"
#include "files/RawFile.h"
#include "processing/StarCentre.h"

namespace nyxel {
namespace {

constexpr int kFlatFirstColumn = 5;
constexpr int kFlatLastColumn = 509;
constexpr int kFlatBrightLimit = 65534;  // pixels from here up are not flat-corrected
constexpr int kMergeCentreTries = 3;

// The banner test on any frame: pixels 4 and 5 of row 0 sum to 34.
bool FrameLabelled(const Frame& frame) {
  return frame[4] + frame[5] == 34;
}

void CopyPlanes(const Plane& r, const Plane& g, const Plane& b, Plane& to_r, Plane& to_g, Plane& to_b) {
  CopyPlane(r, to_r);
  CopyPlane(g, to_g);
  CopyPlane(b, to_b);
}

}  // namespace

void SubtractDarkFrame(ImageStore& store) {
  uint16_t* image = store.CurrentFrame.data();
  const uint16_t* dark = store.SecondFrame.data();
  for (int i = 0; i < kFramePixels; ++i) {
    if (image[i] >= kSaturatedPixel) continue;
    image[i] = dark[i] < image[i] ? static_cast<uint16_t>(image[i] - dark[i]) : 0;
  }
  AddHistoryLine(store.History, kDarkFrameHistoryLine);
}

void ApplyFlatField(ImageStore& store, Host& host) {
  const Frame& flat = store.SecondFrame;
  double level = 0;
  {
    int64_t sum = 0;
    for (int row = 9; row <= 19; ++row) {
      for (int column = 9; column <= 499; ++column) sum += flat[PixelIndex(row, column)];
    }
    level = static_cast<double>(sum) * 0.0002;
  }
  host.ProgressOpen(kFlatFieldProgressCaption);
  host.ProgressSetPosition(10 * 100 / 256);  // the bar starts at 10 of its 256 steps
  const int first = LabelMarker(store) ? kHeaderRows + 1 : 1;
  for (int row = first; row < kFrameHeight; ++row) {
    for (int column = kFlatFirstColumn; column <= kFlatLastColumn; ++column) {
      const int i = PixelIndex(row, column);
      const int pixel = store.CurrentFrame[i];
      if (flat[i] == 0 || pixel >= kFlatBrightLimit) continue;
      const double v = static_cast<double>(pixel) / flat[i] * level;
      store.CurrentFrame[i] = v >= 65535.0 ? 65535 : static_cast<uint16_t>(v);
    }
    host.ProgressSetPosition((row + 10) * 100 / 256);
  }
  host.ProgressClose();
  AddHistoryLine(store.History, kFlatFieldHistoryLine);
}

int CombineWithFile(Session& session, char combine_mode, const std::string& path) {
  ImageStore& store = session.store;
  BusyCursor busy(session.host);
  const int loaded = LoadSecondImageFile(store, session.host, path);
  if (loaded != 0) return loaded;
  // The undo copy follows a successful load, so a refused file leaves the undo image alone too.
  SaveUndo(store);
  if (combine_mode == kCombineFlat) {
    ApplyFlatField(store, session.host);
  } else {
    SubtractDarkFrame(store);
  }
  return 0;
}

bool StartMerge(ImageStore& store, Host& host) {
  if (store.RvGeometry || store.FitToWindow) {
    ShowMessage(host, kMessageMergeGeometry);
    return false;
  }
  if (store.MergeMode) {
    ShowMessage(host, kMessageAlreadyMerging);
    return false;
  }
  store.MergeFirstPhase = 1;
  store.MergeAverage = 0;
  store.MergeMarkFirst = {};
  store.MergeMarkMerge = {};
  store.MergeMode = 1;
  return true;
}

bool MarkMergePoint(ImageStore& store, Host& host, int x, int y, int radius, int& moved_x, int& moved_y) {
  moved_x = moved_y = 0;
  if (!store.MergeMode) return false;
  if (x < radius || x > kFrameWidth - 1 - radius || y < radius || y > kFrameHeight - 1 - radius) {
    return false;
  }
  if (store.MergeCentreOnStar) {
    for (int attempt = 0; attempt < kMergeCentreTries; ++attempt) {
      StarCentre centre;
      const std::span<const uint16_t> frame(store.CurrentFrame.data(), kFramePixels);
      if (!FindStarCentre(store, host, x, y, frame, radius, StarSearch{}, centre)) break;
      moved_x += centre.column - x;
      moved_y += centre.row - y;
      x = centre.column;
      y = centre.row;
    }
  }
  ImageStore::MergeMark& mark = store.MergeFirstPhase ? store.MergeMarkFirst : store.MergeMarkMerge;
  mark = {x, y};
  return true;
}

void OpenMergeImage(ImageStore& store) {
  store.MergeFirstPhase = 0;
  CopyFrame(store.CurrentFrame, store.SecondFrame);
  store.MergeFirstColour = store.ColourConverted;
  if (store.ColourConverted) {
    CopyPlanes(store.RedPlane, store.GreenPlane, store.BluePlane, store.UndoRed, store.UndoGreen,
               store.UndoBlue);
  }
}

bool PressMerge(ImageStore& store) {
  if (!store.MergeMode || store.MergeFirstPhase) return false;
  store.MergeMode = 0;
  MergeImages(store);
  return true;
}

void CancelMerge(ImageStore& store) {
  store.MergeMode = 0;
  store.MergeAverage = 0;
}

void MergeImages(ImageStore& store) {
  const int first = (FrameLabelled(store.SecondFrame) || FrameLabelled(store.CurrentFrame)) ? kHeaderRows : 0;
  const int dy = store.MergeMarkMerge.y - store.MergeMarkFirst.y;
  const int dx = store.MergeMarkMerge.x - store.MergeMarkFirst.x;
  // Planes are combined only when both images had them; a monochrome first image gives no colour to add.
  const bool colour = store.ColourConverted && store.MergeFirstColour;
  for (int i = first; i < kFrameHeight; ++i) {
    const int f = i + dy;
    if (f <= first || f >= kFrameHeight) continue;
    for (int j = 0; j < kFrameWidth; ++j) {
      const int p = j + dx;
      if (p <= 0 || p >= kFrameWidth - 2) continue;
      const int at = PixelIndex(i, j);
      const int from = PixelIndex(f, p);
      const int sum = store.SecondFrame[at] + store.CurrentFrame[from];
      if (store.MergeAverage) {
        store.SecondFrame[at] = static_cast<uint16_t>(sum >> 1);
      } else {
        store.SecondFrame[at] = static_cast<uint16_t>(sum > 65534 ? 65535 : sum);
      }
      if (colour) {
        store.UndoRed[at] = static_cast<uint8_t>((store.UndoRed[at] + store.RedPlane[from]) / 2);
        store.UndoGreen[at] = static_cast<uint8_t>((store.UndoGreen[at] + store.GreenPlane[from]) / 2);
        store.UndoBlue[at] = static_cast<uint8_t>((store.UndoBlue[at] + store.BluePlane[from]) / 2);
      }
    }
  }
  CopyFrame(store.SecondFrame, store.CurrentFrame);
  if (colour) {
    CopyPlanes(store.UndoRed, store.UndoGreen, store.UndoBlue, store.RedPlane, store.GreenPlane,
               store.BluePlane);
  } else {
    store.ColourConverted = 0;
  }
  store.MergeAverage = 0;
}

}  // namespace nyxel
