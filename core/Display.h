#pragma once
// Turns the image store into the picture: the 8-bit display image, its palette, and the bitmap file
// the window loads and paints.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "core/Drive.h"
#include "core/Host.h"
#include "core/ImageStore.h"

namespace nyxel {

// Bitmap writer results.
inline constexpr int kBitmapWritten = 0;
inline constexpr int kBitmapNotCreated = 1;    // message 8
inline constexpr int kBitmapHeaderShort = 2;   // message 9
inline constexpr int kBitmapPixelsShort = 3;   // message 10

inline constexpr int kGreyBitmapHeaderBytes = 1078;
inline constexpr int kColourBitmapHeaderBytes = 54;

// Fills DisplayImage from the high bytes of CurrentFrame (standard, RV geometry or focus window).
void BuildDisplayImage(ImageStore& store);

// The 256 display grey levels for the store's flags (max palette stretch, auto stretch or linear).
std::array<uint8_t, 256> DisplayPalette(const ImageStore& store);
// Writes DisplayPalette into the GreyPalette logical-palette block.
void BuildGreyPalette(ImageStore& store);

// Auto stretch brightness of an 8-bit value above the black level, before any clamp.
int AutoStretchBrightness(int value, int black_level);

// Writes the 8-bit bitmap file (display or focus file) and returns one of the codes above.
int WriteGreyBitmap(ImageStore& store, const Drive& drive, bool focus_frame, bool rv_geometry);

// One bottom-up 24-bit row of BitmapRows (output row = 289 - source_row) from DisplayImage and the planes.
void BuildColourRow(ImageStore& store, int source_row, int saturation_factor);
// Builds all 290 colour rows into BitmapRows, with the progress window.
void BuildColourPicture(ImageStore& store, Host& host, int saturation_factor);
// Writes BitmapRows (geometry-corrected when rv_geometry) as the 24-bit display bitmap.
int WriteColourBitmap(ImageStore& store, const Drive& drive, bool rv_geometry);

// BlackLevel = the most frequent high byte of rows 40..69 (lowest value on ties).
void EstimateAutoStretchLevel(ImageStore& store);
// BlackLevel = mean of the three most frequent high bytes of rows 10..289; the paint runs it.
void EstimateBlackLevel(ImageStore& store);

// The caption "Nyxel - name", or "Nyxel - (Untitled)".
std::string WindowCaption(const std::string& file_name);

// The bitmap file the display would load for the store's flags.
std::filesystem::path DisplayBitmapFile(const ImageStore& store, const Drive& drive);

// The engine half of a display refresh: build the picture, set the caption, estimate the auto stretch
// level, write the bitmap (messages 8, 9, 10 on failure, the previous file kept), then hand the bitmap
// file to the window (host.ShowBitmap), which loads and paints it. Returns 0 or the writer's code.
int RefreshDisplay(ImageStore& store, Host& host, const Drive& drive, int saturation_factor);

// The View toggles. Fit to window and RV geometry exclude each other; each returns true when the
// picture must be rebuilt (the caller then refreshes and resets its scroller).
bool SetFitToWindow(ImageStore& store, bool on);
bool SetRvGeometry(ImageStore& store, bool on);

// True for a labelled frame: pixels 4 and 5 of row 0 sum to exactly 34.
bool LabelMarker(const ImageStore& store);

// Mirrors the image left to right (the frame and, when colour, the planes); a labelled frame keeps
// its banner rows.
void MirrorImage(ImageStore& store);

}  // namespace nyxel
