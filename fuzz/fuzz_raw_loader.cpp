// libFuzzer target: the image loader behind File > Open and the merge's second image, on the bytes
// of a file of each accepted length (fuzz/FuzzImage.h). A refused file must change nothing.
#include <cstring>
#include <memory>

#include "core/ImageStore.h"
#include "core/RecordingHost.h"
#include "files/FileBytes.h"
#include "files/RawFile.h"
#include "fuzz/FuzzImage.h"

using namespace nyxel;

namespace {

const std::vector<std::uintmax_t> kLengths = {
    kRawMonoLength,  kRawColourLength,  kRawOldMonoLength,  kRawOldMonoLength2,   kRawOldColourLength,
    kFitsMonoLength, kFitsColourLength, kFitsOldMonoLength, kFitsOldColourLength, 1000};  // 1000: refused

bool SameHeader(const FitsHeader& a, const FitsHeader& b) {
  return a.fits_object == b.fits_object && a.fits_telescope == b.fits_telescope &&
         a.fits_instrument == b.fits_instrument && a.fits_observer == b.fits_observer &&
         a.fits_origin == b.fits_origin && a.fits_date_obs == b.fits_date_obs &&
         a.fits_time_obs == b.fits_time_obs && a.fits_history_text == b.fits_history_text &&
         a.fits_comment_text == b.fits_comment_text && a.fits_exposure == b.fits_exposure &&
         a.fits_filter == b.fits_filter && a.fits_unsigned == b.fits_unsigned;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<ImageStore> store = [] {
    auto s = ImageStore::Create();
    InitImageStore(*s);
    return s;
  }();
  static const std::unique_ptr<Frame> before = std::make_unique<Frame>();
  static RecordingHost host;
  // Kept from run to run: a fresh 750 KB buffer each time would cost more than the loader.
  static fuzz::FileImage file;
  static FileBytes in;
  if (!fuzz::MakeFileImage(data, size, kLengths, kFitsColourLength, file)) return 0;
  in.opened = (file.flags & 0x10) == 0;
  in.length = file.length;
  in.complete = file.complete;
  in.bytes.swap(file.bytes);

  store->MergeMode = (file.flags & 2) != 0;
  store->ColourConverted = (file.flags & 4) != 0;
  const int colour_before = store->ColourConverted;
  FitsHeader fits;
  fits.fits_object = "before";
  const FitsHeader fits_before = fits;
  *before = store->CurrentFrame;
  if (LoadImageBytes(*store, fits, host, in) != 0) {
    // A refused or failed load leaves the image, the planes' flag and the header values as they were.
    if (std::memcmp(before->data(), store->CurrentFrame.data(), sizeof(Frame)) != 0) __builtin_trap();
    if (!SameHeader(fits, fits_before) || store->ColourConverted != colour_before) __builtin_trap();
  }
  if (file.flags & 8) {
    *before = store->SecondFrame;
    if (LoadSecondImageBytes(*store, host, in) != 0 &&
        std::memcmp(before->data(), store->SecondFrame.data(), sizeof(Frame)) != 0) {
      __builtin_trap();
    }
  }
  in.bytes.swap(file.bytes);
  host.Clear();
  return 0;
}
