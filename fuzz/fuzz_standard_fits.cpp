// libFuzzer target: the standard FITS reader behind File > Open and the second-image loader. An input
// is one flags byte, then a file's first bytes; flag bit 0 pads the file with zeros to the most the
// loaders read, so that a header the fuzzer finds reaches the pixel decoding too. A refused file must
// change nothing; a taken one must leave every header value within what its card holds.
#include <algorithm>
#include <cstring>
#include <memory>

#include "core/ImageStore.h"
#include "core/RecordingHost.h"
#include "files/FileBytes.h"
#include "files/RawFile.h"
#include "files/StandardFits.h"

using namespace nyxel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<ImageStore> store = [] {
    auto s = ImageStore::Create();
    InitImageStore(*s);
    return s;
  }();
  static const std::unique_ptr<Frame> before = std::make_unique<Frame>();
  static const std::unique_ptr<Plane> red_before = std::make_unique<Plane>();
  static RecordingHost host;
  static FileBytes in;  // kept from run to run: its buffer is large
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  const size_t given = size - 1;
  const size_t length = (flags & 1) ? std::max<size_t>(given, kStandardFitsLongestRead) : given;
  in.opened = true;
  in.complete = true;
  in.length = length;
  in.bytes.assign(length, 0);
  std::copy_n(data + 1, given, in.bytes.begin());

  store->MergeMode = (flags & 2) != 0;
  store->ColourConverted = (flags & 4) != 0;
  const int colour_before = store->ColourConverted;
  FitsHeader fits;
  fits.fits_object = "before";
  const std::string object_before = fits.fits_object;
  *before = store->CurrentFrame;
  *red_before = store->RedPlane;
  const int result = LoadImageBytes(*store, fits, host, in);
  if (result != 0) {
    if (std::memcmp(before->data(), store->CurrentFrame.data(), sizeof(Frame)) != 0) __builtin_trap();
    if (std::memcmp(red_before->data(), store->RedPlane.data(), sizeof(Plane)) != 0) __builtin_trap();
    if (fits.fits_object != object_before || store->ColourConverted != colour_before) __builtin_trap();
  } else {
    for (const std::string* text : {&fits.fits_object, &fits.fits_telescope, &fits.fits_instrument,
                                    &fits.fits_observer, &fits.fits_origin, &fits.fits_filter}) {
      if (text->size() > 68) __builtin_trap();
    }
    if (fits.fits_date_obs.size() > 10 || fits.fits_time_obs.size() > 11) __builtin_trap();
    if (fits.fits_history_text.size() > 255 || fits.fits_comment_text.size() > 255) __builtin_trap();
  }
  if (flags & 8) {
    *before = store->SecondFrame;
    if (LoadSecondImageBytes(*store, host, in) != 0 &&
        std::memcmp(before->data(), store->SecondFrame.data(), sizeof(Frame)) != 0) {
      __builtin_trap();
    }
  }
  host.Clear();
  return 0;
}
