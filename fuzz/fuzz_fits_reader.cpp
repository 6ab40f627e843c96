// libFuzzer target: the FITS reader on the bytes of a file of each length the loader routes to it,
// read as either header kind, whole or image only. A refused file must change nothing.
#include <cstring>
#include <memory>

#include "core/ImageStore.h"
#include "files/FitsFile.h"
#include "files/RawFile.h"
#include "fuzz/FuzzImage.h"

using namespace nyxel;

namespace {
const std::vector<std::uintmax_t> kLengths = {kFitsMonoLength, kFitsColourLength, kFitsOldMonoLength,
                                              kFitsOldColourLength};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<ImageStore> store = ImageStore::Create();
  static const std::unique_ptr<Frame> frame = std::make_unique<Frame>();
  static const std::unique_ptr<Frame> before = std::make_unique<Frame>();
  static fuzz::FileImage file;  // kept from run to run, as its buffer is large
  if (!fuzz::MakeFileImage(data, size, kLengths, kFitsLongestFile, file)) return 0;
  const bool current = file.length == kFitsMonoLength || file.length == kFitsColourLength;
  // As the loader reads it, or (flag 2) as the other header kind.
  const FitsHeaderKind kind =
      current != ((file.flags & 2) != 0) ? FitsHeaderKind::Current : FitsHeaderKind::Old;
  const bool colour =
      (file.length == kFitsColourLength || file.length == kFitsOldColourLength) != ((file.flags & 4) != 0);
  frame->fill(0x1234);
  *before = *frame;
  FitsHeader fits;
  const int result = (file.flags & 8) ? DecodeFitsImageOnly(file.bytes, *frame)
                                      : DecodeFitsBytes(file.bytes, *frame, *store, fits, colour, kind);
  if (result != kFitsOk && std::memcmp(before->data(), frame->data(), sizeof(Frame)) != 0) __builtin_trap();
  if (result == kFitsOk) {
    // The texts a reader takes fit the cards they came from.
    for (const std::string* text :
         {&fits.fits_object, &fits.fits_telescope, &fits.fits_instrument, &fits.fits_observer,
          &fits.fits_origin, &fits.fits_date_obs, &fits.fits_time_obs, &fits.fits_filter}) {
      if (text->size() > 69) __builtin_trap();
    }
    if (fits.fits_history_text.size() > 255 || fits.fits_comment_text.size() > 255) __builtin_trap();
  }
  return 0;
}
