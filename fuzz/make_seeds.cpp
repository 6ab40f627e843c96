// Writes the fuzzers' seed inputs, made by the program's own writers: make_seeds OUTDIR creates
// OUTDIR/raw_loader, fits_reader, standard_fits, settings, batch_args and lx200_replies.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/Drive.h"
#include "core/ImageStore.h"
#include "core/RecordingHost.h"
#include "files/FitsFile.h"
#include "files/RawFile.h"
#include "files/SettingsFile.h"
#include "files/StandardFits.h"
#include "fuzz/FuzzImage.h"

using namespace nyxel;
namespace fs = std::filesystem;

namespace {

constexpr size_t kKeep = 8192;  // the header and the first pixels: the rest of a file is zeros

std::vector<uint8_t> Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds OUTDIR\n");
    return 2;
  }
  const fs::path out = argv[1];
  const fs::path work = out / "files";
  for (const char* d :
       {"raw_loader", "fits_reader", "standard_fits", "settings", "batch_args", "lx200_replies", "files"})
    fs::create_directories(out / d);

  auto store = ImageStore::Create();
  InitImageStore(*store);
  RecordingHost host;
  FitsHeader fits;
  fits.fits_object = "M42";
  fits.fits_observer = "observer";
  fits.fits_date_obs = "5/3/07";
  fits.fits_time_obs = "22:00:15";
  fits.fits_exposure = 30;
  fits.fits_history_text = "history text";
  fits.fits_comment_text = "comment text";
  store->History.SetLine(0, "Normal Stretch");
  for (int i = 0; i < kFramePixels; ++i) {
    store->RedPlane[i] = static_cast<uint8_t>(i);
    store->GreenPlane[i] = static_cast<uint8_t>(i >> 3);
    store->BluePlane[i] = static_cast<uint8_t>(i >> 5);
  }

  // The program's own files of every kind it writes.
  std::vector<std::vector<uint8_t>> files;
  SaveRawImageFile(*store, host, work / "mono");
  files.push_back(Read(work / "mono"));
  store->ColourConverted = 1;
  SaveRawImageFile(*store, host, work / "colour");
  files.push_back(Read(work / "colour"));
  SaveFlatFieldFile(work / "flat", store->CurrentFrame, false);
  files.push_back(Read(work / "flat"));
  for (int unsigned_coding : {0, 1}) {
    fits.fits_unsigned = unsigned_coding;
    for (bool colour : {false, true}) {
      const fs::path f = work / ("fits" + std::to_string(unsigned_coding) + (colour ? "c" : "m"));
      WriteFitsFile(f, store->CurrentFrame, *store, fits, colour);
      files.push_back(Read(f));
    }
  }
  // The older lengths: the same beginnings, as long as those files were.
  for (std::uintmax_t n : {kRawOldMonoLength, kRawOldMonoLength2, kRawOldColourLength}) {
    std::vector<uint8_t> f = files[1];
    f.resize(n);
    files.push_back(f);
  }
  for (std::uintmax_t n : {kFitsOldMonoLength, kFitsOldColourLength}) {
    std::vector<uint8_t> f = files[n == kFitsOldMonoLength ? 3 : 4];
    f.erase(f.begin() + kFitsOldHeaderBytes, f.begin() + kFitsHeaderBytes);
    f.resize(n);
    files.push_back(f);
  }

  const std::vector<std::uintmax_t> raw_lengths = {
      kRawMonoLength,  kRawColourLength,  kRawOldMonoLength,  kRawOldMonoLength2,   kRawOldColourLength,
      kFitsMonoLength, kFitsColourLength, kFitsOldMonoLength, kFitsOldColourLength, 1000};
  const std::vector<std::uintmax_t> fits_lengths = {kFitsMonoLength, kFitsColourLength, kFitsOldMonoLength,
                                                    kFitsOldColourLength};
  int n = 0;
  for (const auto& f : files) {
    Write(out / "raw_loader" / ("seed" + std::to_string(n)), fuzz::SeedFromFile(f, raw_lengths, kKeep));
    if (f.size() == kFitsMonoLength || f.size() == kFitsColourLength || f.size() == kFitsOldMonoLength ||
        f.size() == kFitsOldColourLength) {
      Write(out / "fits_reader" / ("seed" + std::to_string(n)), fuzz::SeedFromFile(f, fits_lengths, kKeep));
    }
    ++n;
  }

  // Standard FITS exports, grey and colour, padded (flag 1) to the most the loaders read.
  for (bool colour : {false, true}) {
    const fs::path f = work / (colour ? "standard-colour.fits" : "standard-grey.fits");
    WriteStandardFitsFile(f, *store, fits, colour);
    std::vector<uint8_t> seed = {1};
    const auto bytes = Read(f);
    seed.insert(seed.end(), bytes.begin(),
                bytes.begin() + static_cast<std::ptrdiff_t>(std::min(kKeep, bytes.size())));
    Write(out / "standard_fits" / (colour ? "colour" : "grey"), seed);
  }

  // Settings records: the defaults, some changed values, and a cut one.
  Settings s;
  const auto defaults = EncodeSettings(s);
  Write(out / "settings" / "defaults", std::vector<uint8_t>(defaults.begin(), defaults.end()));
  SetAutosaveSubdir(s, "m42\\2026");
  s.autosave_counter = 65529;
  s.guide_interface = 'l';
  s.ut_offset_hours = -5;
  SetBackgroundColour(s, 'r');
  const auto changed = EncodeSettings(s);
  Write(out / "settings" / "changed", std::vector<uint8_t>(changed.begin(), changed.end()));
  Write(out / "settings" / "cut", std::vector<uint8_t>(changed.begin(), changed.begin() + 100));

  // Command lines, words ended by zero bytes.
  const std::vector<std::vector<std::string>> lines = {
      {"--drive", "/tmp/x", "open", "a.FIT", "fits", "exposure", "2.5", "save", "b"},
      {"--simulate", "--seed", "7", "expose", "s", "10", "3", "quick-save"},
      {"expose", "ms", "500", "render", "x.bmp"},
      {"merge", "a", "1", "2", "3", "4", "add", "label", "M42"},
      {"--help"},
      {"setting", "autosave_subdir", "m42", "power-stretch", "0.5"},
      {"sum", "5", "undo", "history"},
  };
  n = 0;
  for (const auto& words : lines) {
    std::vector<uint8_t> bytes;
    for (const auto& w : words) {
      bytes.insert(bytes.end(), w.begin(), w.end());
      bytes.push_back(0);
    }
    Write(out / "batch_args" / ("seed" + std::to_string(n++)), bytes);
  }
  // Telescope replies: parameters, then length-prefixed pieces of what a mount answers (the go-to's
  // status, a refusal's text, the object information).
  const std::vector<std::vector<std::string>> replies = {
      {"M42 EX 4.0 NBL 66' 3", "0", "M42 EX 4.0 NBL 66'"},
      {"", "1", "Object Below Horizon#", "M31 SG 3.5"},
      {"STAR 123#"},
  };
  n = 0;
  for (const auto& pieces : replies) {
    for (uint8_t op = 0; op < 3; ++op) {
      std::vector<uint8_t> bytes = {op, 0, 0, 42, 30};
      for (const auto& piece : pieces) {
        bytes.push_back(static_cast<uint8_t>(piece.size()));
        bytes.insert(bytes.end(), piece.begin(), piece.end());
      }
      Write(out / "lx200_replies" / ("seed" + std::to_string(n++)), bytes);
    }
  }
  fs::remove_all(work);
  return 0;
}
