#pragma once
// A second FITS writer for other astronomy tools: a file that follows the FITS standard (2,880-byte
// blocks, the 510 x 290 picture, standard keywords), beside the program's own fixed layout, which
// stays as it is because other copies of the program recognise those files by their length.
#include <filesystem>
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

}  // namespace nyxel
