#pragma once
// The native raw image file: CurrentFrame's rows as they lie in memory (and, for a colour image, the
// three planes), recognised by its length alone. Also the loaders that route FITS lengths to the FITS
// reader, the flat-field writer and the dark-frame reader.
#include <cstdint>
#include <filesystem>

#include "core/History.h"
#include "core/Host.h"
#include "core/ImageStore.h"
#include "files/FitsHeader.h"

namespace nyxel {

// The accepted file lengths; every other length is refused.
inline constexpr std::uintmax_t kRawMonoLength = 295800;       // 290 rows of 1,020 bytes
inline constexpr std::uintmax_t kRawColourLength = 741240;     // then red, green, blue planes
inline constexpr std::uintmax_t kRawOldMonoLength = 261120;    // 256 rows of 1,020 bytes
inline constexpr std::uintmax_t kRawOldMonoLength2 = 262144;   // the same, 1,024 unread bytes after
inline constexpr std::uintmax_t kRawOldColourLength = 654336;  // 256-row planes after the rows
inline constexpr std::uintmax_t kFitsMonoLength = 303040;
inline constexpr std::uintmax_t kFitsColourLength = 748160;
inline constexpr std::uintmax_t kFitsOldMonoLength = 300160;
inline constexpr std::uintmax_t kFitsOldColourLength = 745280;

inline constexpr int kRawRowBytes = 1020;  // columns 510 and 511 are never stored

// Clears the processing history and the image's FITS texts (INSTRUME back to "Halvorn CCD"); ORIGIN
// and TIME-OBS keep their values.
void ResetImageInfo(ProcessingHistory& history, FitsHeader& fits);

// Loads a native or FITS file into CurrentFrame (and the planes) and sets CurrentFileName to the file's
// name. The program's own files are told apart by their lengths; a file of any other length is taken
// when it is a standard FITS picture of the camera's size (files/StandardFits.h). Shows its own
// messages. Returns 0, or the number of the message shown (11, 12, 13, 14; 12 also for a FITS file of
// another size, whose message says which sizes are understood). A refused or failed load changes
// nothing but CurrentFileName.
int LoadImageFile(ImageStore& store, FitsHeader& fits, Host& host, const std::filesystem::path& file);

// LoadImageFile on a file already read (what it does after the read): the fuzzers' way in.
struct FileBytes;
int LoadImageBytes(ImageStore& store, FitsHeader& fits, Host& host, const FileBytes& in);

// Loads the 16-bit rows of a native, current-header FITS or monochrome standard FITS file into
// SecondFrame. Returns 0, 1 when the file could not be used, 2 when the FITS header is not this
// program's (a message was shown).
int LoadSecondImageFile(ImageStore& store, Host& host, const std::filesystem::path& file);
int LoadSecondImageBytes(ImageStore& store, Host& host, const FileBytes& in);

// Writes CurrentFrame (and the planes when ColourConverted) as a native file, under the busy cursor.
// Shows its own messages. Returns 0, or the number of the message shown (17, 18, 19); a failed save
// leaves any previous file untouched.
int SaveRawImageFile(const ImageStore& store, Host& host, const std::filesystem::path& file);

// Writes a 295,800-byte flat-field file: the pixels themselves when keepPixels, otherwise each pixel
// averaged with its right-hand neighbour. Returns 0, or 1 when the file could not be written.
int SaveFlatFieldFile(const std::filesystem::path& file, const Frame& image, bool keepPixels);

// Dark-frame results.
inline constexpr int kDarkOk = 0;
inline constexpr int kDarkNotOpened = 11;
inline constexpr int kDarkWrongLength = 12;
inline constexpr std::string_view kDarkCaption = "TESSARON";

// Unless alreadyLoaded, reads the 295,800-byte dark frame (or a monochrome standard FITS picture of the
// camera's size) into darkBuffer (messages captioned "TESSARON" on failure, image untouched); then
// image = image - dark, never below 0.
int SubtractDarkFrameFile(Host& host, bool alreadyLoaded, const std::filesystem::path& file,
                          Frame& darkBuffer, Frame& image);

}  // namespace nyxel
