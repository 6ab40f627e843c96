#include "files/RawFile.h"

#include <algorithm>
#include <vector>

#include "core/AtomicFile.h"
#include "core/Messages.h"
#include "files/FileBytes.h"
#include "files/FitsFile.h"
#include "files/StandardFits.h"

namespace nyxel {
namespace {

constexpr int kOldRows = 256;
constexpr size_t kOldPlaneBytes = kOldRows * kFrameWidth;  // 131,072

bool IsFitsLength(std::uintmax_t n) {
  return n == kFitsMonoLength || n == kFitsColourLength || n == kFitsOldMonoLength ||
         n == kFitsOldColourLength;
}

bool IsNativeLength(std::uintmax_t n) {
  return n == kRawMonoLength || n == kRawColourLength || n == kRawOldMonoLength || n == kRawOldMonoLength2 ||
         n == kRawOldColourLength;
}

bool IsColourLength(std::uintmax_t n) {
  return n == kRawOldColourLength || n == kFitsOldColourLength || n == kFitsColourLength ||
         n == kRawColourLength;
}

// Rows of 510 little-endian pixels into columns 0..509; columns 510 and 511 keep what they held. The
// old 256-row layouts leave rows 256..289 (all 512 columns) zero.
void ReadRows(const std::vector<uint8_t>& bytes, std::uintmax_t length, Frame& frame) {
  const int rows = (length == kRawMonoLength || length == kRawColourLength) ? kFrameHeight : kOldRows;
  for (int r = 0; r < rows; ++r) {
    const uint8_t* row = bytes.data() + static_cast<size_t>(r) * kRawRowBytes;
    uint16_t* out = frame.data() + PixelIndex(r, 0);
    for (int c = 0; c < kRawRowBytes / 2; ++c)
      out[c] = static_cast<uint16_t>(row[2 * c] | (row[2 * c + 1] << 8));
  }
  std::fill(frame.begin() + PixelIndex(rows, 0), frame.begin() + kFramePixels, 0);
}

// The planes follow the rows in the file in the order red, green, blue.
void ReadPlanes(const std::vector<uint8_t>& bytes, std::uintmax_t length, ImageStore& store) {
  const bool old = length == kRawOldColourLength;
  const size_t plane_bytes = old ? kOldPlaneBytes : static_cast<size_t>(kFramePixels);
  const size_t first = old ? kOldRows * kRawRowBytes : static_cast<size_t>(kRawMonoLength);
  Plane* planes[3] = {&store.RedPlane, &store.GreenPlane, &store.BluePlane};
  for (int k = 0; k < 3; ++k) {
    const uint8_t* p = bytes.data() + first + k * plane_bytes;
    std::copy_n(p, plane_bytes, planes[k]->begin());
    std::fill(planes[k]->begin() + plane_bytes, planes[k]->begin() + kFramePixels, 0);
  }
}

// Every kind of image file fits in this many bytes.
constexpr std::uintmax_t kLongestImageRead =
    std::max({kRawColourLength, kFitsLongestFile, kStandardFitsLongestRead});

// A standard FITS file (not of the program's own lengths): decoded and checked whole before the
// picture, planes, header values or history change.
int LoadStandardFits(ImageStore& store, FitsHeader& fits, Host& host, const FileBytes& in) {
  StandardFitsFile f;
  const int result = ParseStandardFits(in.bytes, fits, f);
  if (result == kStandardFitsDamaged) return ShowMessage(host, 13), 13;
  if (result != kStandardFitsOk) {
    ShowMessage(host, kOwnTextMessage, MessageText(12) + "\n\n" + StandardFitsSizesText(f, false));
    return 12;
  }
  // A monochrome file cannot be merged into a colour image.
  if (store.MergeMode && store.ColourConverted && !f.colour) return ShowMessage(host, 12), 12;
  TakeStandardFitsPixels(f, store.CurrentFrame);
  TakeStandardFitsPlanes(f, store);
  store.History = f.history;
  fits = std::move(f.fits);
  if (!store.MergeMode) store.ColourConverted = 0;
  if (f.colour) store.ColourConverted = 1;
  return 0;
}

}  // namespace

void ResetImageInfo(ProcessingHistory& history, FitsHeader& fits) {
  ClearHistory(history);
  fits.fits_date_obs.clear();
  fits.fits_object.clear();
  fits.fits_observer.clear();
  fits.fits_telescope.clear();
  fits.fits_comment_text.clear();
  fits.fits_history_text.clear();
  fits.fits_instrument = "Halvorn CCD";
}

int LoadImageFile(ImageStore& store, FitsHeader& fits, Host& host, const std::filesystem::path& file) {
  // A refused file leaves the picture's name (and so the window's caption) as it was.
  std::string previous = std::move(store.CurrentFileName);
  store.CurrentFileName = file.filename().string();
  // The whole file in one read: the longest file of any kind.
  const int result = LoadImageBytes(store, fits, host, ReadFileBytes(file, kLongestImageRead));
  if (result != 0) store.CurrentFileName = std::move(previous);
  return result;
}

int LoadImageBytes(ImageStore& store, FitsHeader& fits, Host& host, const FileBytes& in) {
  if (!in.opened) return ShowMessage(host, 11), 11;
  const std::uintmax_t n = in.length;
  // The program's own files by their lengths first; then a standard FITS file of the camera's size.
  if (!IsNativeLength(n) && !IsFitsLength(n)) {
    if (IsStandardFits(in.bytes)) return LoadStandardFits(store, fits, host, in);
    return ShowMessage(host, 12), 12;
  }
  // A monochrome file cannot be merged into a colour image.
  if (store.MergeMode && store.ColourConverted && !IsColourLength(n)) return ShowMessage(host, 12), 12;

  const bool colour = IsColourLength(n);
  if (IsFitsLength(n)) {
    const FitsHeaderKind kind =
        (n == kFitsMonoLength || n == kFitsColourLength) ? FitsHeaderKind::Current : FitsHeaderKind::Old;
    // The reader replaces every text ResetImageInfo would clear, and only on success.
    const int result = DecodeFitsBytes(in.bytes, store.CurrentFrame, store, fits, colour, kind);
    if (result == kFitsFailed) return ShowMessage(host, 13), 13;
    if (result != kFitsOk) return ShowMessage(host, 14), 14;
  } else {
    // A file that comes up short while reading is refused before anything changes.
    if (!in.complete || in.bytes.size() < std::min<std::uintmax_t>(n, kRawColourLength)) {
      return ShowMessage(host, 11), 11;
    }
    ResetImageInfo(store.History, fits);
    ReadRows(in.bytes, n, store.CurrentFrame);
    if (colour) ReadPlanes(in.bytes, n, store);
  }
  if (!store.MergeMode) store.ColourConverted = 0;
  if (colour) store.ColourConverted = 1;
  return 0;
}

int LoadSecondImageFile(ImageStore& store, Host& host, const std::filesystem::path& file) {
  return LoadSecondImageBytes(store, host, ReadFileBytes(file, kLongestImageRead));
}

int LoadSecondImageBytes(ImageStore& store, Host& host, const FileBytes& in) {
  const std::uintmax_t n = in.length;
  const bool accepted = n == kRawOldMonoLength || n == kRawOldMonoLength2 || n == kRawMonoLength ||
                        n == kRawOldColourLength || n == kRawColourLength || n == kFitsMonoLength ||
                        n == kFitsColourLength;
  if (in.opened && !accepted && !IsFitsLength(n) && IsStandardFits(in.bytes)) {
    StandardFitsFile f;
    const int result = ParseStandardFits(in.bytes, FitsHeader{}, f);
    if (result == kStandardFitsDamaged) return ShowMessage(host, 13), 1;
    // A colour cube holds no raw frame to subtract, divide or merge.
    if (result != kStandardFitsOk || f.colour) {
      return ShowMessage(host, kOwnTextMessage, MessageText(16) + "\n\n" + StandardFitsSizesText(f, true)), 1;
    }
    TakeStandardFitsPixels(f, store.SecondFrame);
    return 0;
  }
  if (!in.opened || !accepted) return ShowMessage(host, 16), 1;
  if (n == kFitsMonoLength || n == kFitsColourLength) {
    const int result = DecodeFitsImageOnly(in.bytes, store.SecondFrame);
    if (result == kFitsFailed) return ShowMessage(host, 13), 1;
    if (result != kFitsOk) return ShowMessage(host, 14), 2;
    return 0;
  }
  if (!in.complete || in.bytes.size() < n) return ShowMessage(host, 16), 1;
  ReadRows(in.bytes, n, store.SecondFrame);
  return 0;
}

int SaveRawImageFile(const ImageStore& store, Host& host, const std::filesystem::path& file) {
  int message = 0;
  {
    BusyCursor busy(host);
    std::vector<uint8_t> rows(kRawMonoLength);
    for (int r = 0; r < kFrameHeight; ++r) {
      const uint16_t* in = store.CurrentFrame.data() + PixelIndex(r, 0);
      uint8_t* out = rows.data() + static_cast<size_t>(r) * kRawRowBytes;
      for (int c = 0; c < kRawRowBytes / 2; ++c) {
        out[2 * c] = static_cast<uint8_t>(in[c] & 0xFF);
        out[2 * c + 1] = static_cast<uint8_t>(in[c] >> 8);
      }
    }
    AtomicFile out(file);
    if (!out.Open()) {
      message = 17;
    } else if (!out.Write(rows.data(), rows.size())) {
      message = 18;
    } else if (store.ColourConverted) {
      // Every plane write is checked: a short red or green plane would leave a corrupt file too.
      for (const Plane* plane : {&store.RedPlane, &store.GreenPlane, &store.BluePlane}) {
        if (!message && !out.Write(plane->data(), kFramePixels)) message = 19;
      }
    }
    if (!message && !out.Commit()) message = store.ColourConverted ? 19 : 18;
  }
  if (message) ShowMessage(host, message);
  return message;
}

int SaveFlatFieldFile(const std::filesystem::path& file, const Frame& image, bool keepPixels) {
  std::vector<uint8_t> bytes(kRawMonoLength);
  for (int r = 0; r < kFrameHeight; ++r) {
    const uint16_t* in = image.data() + PixelIndex(r, 0);
    uint8_t* out = bytes.data() + static_cast<size_t>(r) * kRawRowBytes;
    for (int c = 0; c < kRawRowBytes / 2; ++c) {
      const uint16_t v = keepPixels ? in[c] : static_cast<uint16_t>((in[c] + in[c + 1]) / 2);
      out[2 * c] = static_cast<uint8_t>(v & 0xFF);
      out[2 * c + 1] = static_cast<uint8_t>(v >> 8);
    }
  }
  AtomicFile out(file);
  if (!out.Open() || !out.Write(bytes.data(), bytes.size()) || !out.Commit()) return 1;
  return 0;
}

int SubtractDarkFrameFile(Host& host, bool alreadyLoaded, const std::filesystem::path& file,
                          Frame& darkBuffer, Frame& image) {
  if (!alreadyLoaded) {
    const FileBytes in = ReadFileBytes(file, kStandardFitsLongestRead);
    if (!in.opened || (in.length == kRawMonoLength && !in.complete)) {
      host.MessageBox("Failed to Open Darkframe RV File", kDarkCaption);
      return kDarkNotOpened;
    }
    // A monochrome standard FITS dark of the camera's size serves as well as a raw one.
    StandardFitsFile f;
    if (in.length != kRawMonoLength &&
        !(IsStandardFits(in.bytes) && ParseStandardFits(in.bytes, FitsHeader{}, f) == kStandardFitsOk &&
          !f.colour)) {
      host.MessageBox("Sorry, chosen Darkframe is not an QK File", kDarkCaption);
      return kDarkWrongLength;
    }
    if (in.length != kRawMonoLength) {
      TakeStandardFitsPixels(f, darkBuffer);
    } else {
      for (int r = 0; r < kFrameHeight; ++r) {
        const uint8_t* row = in.bytes.data() + static_cast<size_t>(r) * kRawRowBytes;
        uint16_t* out = darkBuffer.data() + PixelIndex(r, 0);
        for (int c = 0; c < kRawRowBytes / 2; ++c)
          out[c] = static_cast<uint16_t>(row[2 * c] | (row[2 * c + 1] << 8));
      }
    }
  }
  for (int i = 0; i < kFramePixels; ++i) image[i] = darkBuffer[i] < image[i] ? image[i] - darkBuffer[i] : 0;
  return kDarkOk;
}

}  // namespace nyxel
