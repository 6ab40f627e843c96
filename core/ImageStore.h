#pragma once
// The image store: every frame, plane, display buffer and display flag the program holds, sized once.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/Geometry.h"
#include "core/History.h"

namespace nyxel {

using Frame = std::array<uint16_t, kFrameElements>;
using Plane = std::array<uint8_t, kPlaneBytes>;

inline constexpr int kDisplayImageBytes = 190980;
inline constexpr int kBitmapRowsBytes = 573000;
inline constexpr int kPaletteBlockBytes = 1032;  // version, count, 256 entries of 4 bytes
inline constexpr int kHistogramBins = 257;

struct ImageStore {
  // Allocated once at start-up (about 4.4 MB, too big for a stack) and never reallocated.
  static std::unique_ptr<ImageStore> Create();

  // 16-bit frames, index = row x 512 + column.
  Frame CurrentFrame{};
  Frame SecondFrame{};
  Frame UndoFrame{};  // the processing code treats its elements as signed; the bits are the same
  Frame SpareFrame{};
  // CurrentFrame, SecondFrame, UndoFrame, SpareFrame: filled once by InitImageStore, never changed after.
  std::array<Frame*, 4> FrameTable{};

  // 8-bit planes; within each set the order in memory is red, blue, green.
  Plane RedPlane{}, BluePlane{}, GreenPlane{};
  Plane ChromaRed{}, ChromaBlue{}, ChromaGreen{};
  Plane UndoRed{}, UndoBlue{}, UndoGreen{};
  Plane ScratchPlane0{}, ScratchPlane1{}, ScratchPlane2{};

  // Display buffers, used by the display code only.
  std::array<uint8_t, kDisplayImageBytes> DisplayImage{};
  std::array<uint8_t, kBitmapRowsBytes> BitmapRows{};
  std::array<uint8_t, kBitmapRowsBytes> CorrectedColourRows{};
  // Logical-palette block: version 0x300, 256 entries, then entry i = red i, green i, blue i, flags 1.
  std::array<uint8_t, kPaletteBlockBytes> GreyPalette{};
  std::array<uint32_t, kHistogramBins> DisplayHistogram{};

  ProcessingHistory History{};

  // Flags and values (0 = off).
  int ColourConverted = 0;
  int RvGeometry = 0;
  int FitToWindow = 0;
  int FocusMode = 0;
  int FocusFrameDisplay = 0;
  int SelfGuideNext = 0;
  int GuideFrameDisplay = 0;
  int FocusBitmapUsed = 0;
  int AutoStretch = 0;
  int BlackLevel = 0;
  int MaxPaletteAll = 0;
  int PaletteBits = 14;       // 12..16
  int FocusPaletteStretch = 0;
  int MergeMode = 0;
  // The rest of the merge state, kept beside MergeMode so File/Open and the merge dialog share it.
  struct MergeMark {
    int x = 0;  // column
    int y = 0;  // row
  };
  int MergeFirstPhase = 0;  // 1 while the mark in the first image is being set
  int MergeAverage = 0;
  int MergeCentreOnStar = 0;
  int MergeFirstColour = 0;  // the first image was colour converted when the merge image was opened
  MergeMark MergeMarkFirst;
  MergeMark MergeMarkMerge;
  int ValuesDialogOpen = 0;
  int ProgressCaptionPending = 0;  // the camera asks the next colour build to caption its progress
  std::string CurrentFileName;

 private:
  ImageStore() = default;
};

// Start-up contents: frame table, cleared histogram, the grey test ramp (row r holds r x 225) in the
// current, second and undo frames, and a zero spare frame.
void InitImageStore(ImageStore& store);

// Whole-frame copies move exactly the 148,480 pixels, never the spare elements.
void CopyFrame(const Frame& from, Frame& to);
void CopyPlane(const Plane& from, Plane& to);
// CurrentFrame -> UndoFrame before an operation changes the image.
void SaveUndo(ImageStore& store);

}  // namespace nyxel
