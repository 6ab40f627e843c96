#pragma once
// The TIFF writer: the picture resampled to 372 rows and cut to 510 columns, so the file has the
// corrected aspect, as 8-bit grey (high bytes of CurrentFrame) or RGB (the last colour display rows).
#include <filesystem>

#include "core/ImageStore.h"

namespace nyxel {

inline constexpr int kTiffWidth = 510;
inline constexpr int kTiffHeight = 372;
inline constexpr float kTiffScale = 1.2827586f;  // 372 / 290 in single precision
inline constexpr int kTiffHeaderBytes = 258;
inline constexpr int kTiffGreyFileBytes = 189978;
inline constexpr int kTiffColourFileBytes = 569424;

// Writes the grey variant from CurrentFrame, or with `colour` the RGB variant from BitmapRows;
// CorrectedColourRows is the work buffer. Returns 0, or 1 when the file could not be written (any
// previous file is then left untouched).
int WriteTiffFile(ImageStore& store, bool colour, const std::filesystem::path& file);

}  // namespace nyxel
