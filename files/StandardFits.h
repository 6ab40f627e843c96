#pragma once
// FITS files for and from other astronomy tools: files that follow the FITS standard (2,880-byte
// blocks, the 510 x 290 picture, standard keywords), beside the program's own fixed layout, which
// stays as it is because other copies of the program recognise those files by their length.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/ImageStore.h"
#include "files/FitsHeader.h"

namespace nyxel {

inline constexpr int kFitsBlockBytes = 2880;
inline constexpr int kStandardFitsColumns = 510;  // columns 510 and 511 of a frame hold no picture

// The header cards (80 characters each, "END" last, not yet padded to a block). A monochrome image is
// BITPIX 16 with BZERO 32768; a colour image (colour) is a BITPIX 8 cube of the red, green and blue
// planes. Rows are stored bottom row first, as ROWORDER says, so viewers that draw the first row at
// the bottom show the picture the right way up.
std::vector<std::string> StandardFitsCards(const FitsHeader& fits, const ProcessingHistory& history,
                                           bool colour);

// DATE-OBS in ISO 8601 from the program's date and time texts ("2007-03-05" or "5/3/07", and
// "hh:mm:ss"); empty when the date cannot be read.
std::string IsoDateObs(const std::string& date_obs, const std::string& time_obs);

// Writes the image (CurrentFrame, or the planes when colour) through the atomic writer. Returns
// kFitsOk or kFitsFailed (any previous file is then left untouched).
int WriteStandardFitsFile(const std::filesystem::path& file, const ImageStore& store, const FitsHeader& fits,
                          bool colour);

// ---- reading ----

// The longest header read (64 blocks) and the most bytes a reader needs: that header and the largest
// picture it takes (512 x 290 pixels of four bytes).
inline constexpr std::uintmax_t kStandardFitsHeaderLimit = 64ull * kFitsBlockBytes;
inline constexpr std::uintmax_t kStandardFitsLongestRead = kStandardFitsHeaderLimit + 4ull * kFramePixels;

// Reader results.
inline constexpr int kStandardFitsOk = 0;
inline constexpr int kStandardFitsDamaged = 1;     // no END card, a bad value, or the data cut short
inline constexpr int kStandardFitsOtherShape = 2;  // a FITS file, but not a picture of the camera's size

// True when the bytes begin as a FITS file does: "SIMPLE  =" with the value T.
bool IsStandardFits(std::span<const uint8_t> bytes);

// A standard FITS file decoded and checked, nothing taken yet: the header values and history the
// picture carries, and where its data lie in the bytes.
struct StandardFitsFile {
  int bitpix = 0;
  int naxis = 0;
  long axes[3] = {0, 0, 0};  // NAXIS1..NAXIS3 as the header gives them (0 when absent)
  bool colour = false;       // a 3 x 290 x N 8-bit cube of red, green and blue planes
  bool bottom_up = true;     // ROWORDER: the first stored row is the picture's bottom row
  double bscale = 1;
  double bzero = 0;
  const uint8_t* data = nullptr;
  FitsHeader fits;  // the caller's values with the file's in place of the picture's own
  ProcessingHistory history{};
};

// Decodes `bytes` (a file's bytes from its start). `fits` holds the values to start from: texts the
// file does not describe (the pixel sizes, the unsigned coding) keep theirs. Accepts 510 or 512
// columns by 290 rows with BITPIX 16, 8, 32 or -32, and the 3-plane 8-bit colour cube.
int ParseStandardFits(std::span<const uint8_t> bytes, const FitsHeader& fits, StandardFitsFile& out);

// The picture's pixels as 16-bit values in `image` (for a cube, the mean of the planes). Columns the
// file does not hold (510 and 511 of a 510-column file) keep what they held.
void TakeStandardFitsPixels(const StandardFitsFile& file, Frame& image);
// A cube's planes into the store's red, green and blue planes, columns beyond the file's kept.
void TakeStandardFitsPlanes(const StandardFitsFile& file, ImageStore& store);

// What a refusal says: the sizes understood, and what the file holds. `second`: for a dark frame,
// flat field or image to merge, where the colour cube is no use.
std::string StandardFitsSizesText(const StandardFitsFile& file, bool second);

}  // namespace nyxel
