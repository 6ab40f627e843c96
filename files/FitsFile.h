#pragma once
// FITS files of the program's one fixed shape: 72 cards read and written by position, a 512 x 290
// 16-bit image, and for a colour image the three planes. No padding to 2,880 bytes: other copies of the
// program recognise these files by their length.
#include <cstdint>
#include <filesystem>
#include <span>

#include "core/ImageStore.h"
#include "files/FitsHeader.h"

namespace nyxel {

inline constexpr int kFitsCardBytes = 80;
inline constexpr int kFitsHeaderBytes = 5760;     // 72 cards
inline constexpr int kFitsOldHeaderBytes = 2880;  // 36 cards
inline constexpr int kFitsDataBytes = 296960;     // 290 rows of 512 big-endian pixels

// Reader and writer results.
inline constexpr int kFitsOk = 0;
inline constexpr int kFitsFailed = 1;   // not opened or created, or a read or write came up short
inline constexpr int kFitsForeign = 2;  // the header is not of this program's shape

enum class FitsHeaderKind { Current, Old };

// Writes the image with the header values, the store's processing history and, when colour, the
// store's planes. Returns kFitsOk or kFitsFailed (any previous file is then left untouched).
int WriteFitsFile(const std::filesystem::path& file, const Frame& image, const ImageStore& store,
                  const FitsHeader& fits, bool colour);

// Reads a file into `image`, the header values and the store's processing history (and, when colour,
// the store's planes). Decides before it changes anything: a refused or short file changes nothing.
int ReadFitsFile(const std::filesystem::path& file, Frame& image, ImageStore& store, FitsHeader& fits,
                 bool colour, FitsHeaderKind kind);

// Current-header files only: checks the header and takes the pixel rows in the file's coding; header
// values, history and planes are left alone.
int ReadFitsImageOnly(const std::filesystem::path& file, Frame& image);

// The two readers on a file's bytes already in memory (what they do after reading the file).
int DecodeFitsBytes(std::span<const uint8_t> bytes, Frame& image, ImageStore& store, FitsHeader& fits,
                    bool colour, FitsHeaderKind kind);
int DecodeFitsImageOnly(std::span<const uint8_t> bytes, Frame& image);

// The longest file the readers take: a current-header colour file.
inline constexpr std::uintmax_t kFitsLongestFile = kFitsHeaderBytes + kFitsDataBytes + 3ull * kFramePixels;

}  // namespace nyxel
