#include "files/SettingsFile.h"

#include <algorithm>
#include <span>
#include <system_error>
#include <type_traits>
#include <vector>

#include "core/AtomicFile.h"
#include "files/FileBytes.h"

namespace nyxel {
namespace {

constexpr size_t kCardBytes = 80;
constexpr size_t kCardKeywordBytes = 11;  // "OBJECT  = '"
constexpr size_t kSplitPieceBytes = 68;
constexpr size_t kSplitCards = 4;
constexpr size_t kLastPieceTaken = 51;  // 3 x 68 + 51 = 255 characters
constexpr size_t kSubdirBytes = 79;

constexpr std::string_view kFastParFailure = "Failed to read fast_par value";
constexpr std::string_view kFastParCaption = "TESSARON";

// The text as the C string it was: it ends at an embedded zero byte.
std::string_view CText(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

// Fills the record field by field, in file order.
class Encoder {
 public:
  void Byte(char c) { bytes_[pos_++] = static_cast<uint8_t>(c); }
  void YesNo(bool v) { Byte(v ? 'y' : 'n'); }
  void OneZero(bool v) { Byte(v ? '1' : '0'); }
  void Number(int v) {
    const auto u = static_cast<uint16_t>(v);
    bytes_[pos_++] = static_cast<uint8_t>(u & 0xFF);
    bytes_[pos_++] = static_cast<uint8_t>(u >> 8);
  }
  void Raw(std::string_view text, size_t n) {
    std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), n, uint8_t{' '});
    std::copy_n(text.begin(), std::min(text.size(), n), bytes_.begin() + static_cast<std::ptrdiff_t>(pos_));
    pos_ += n;
  }
  // Keyword, the text, a closing quote, blanks. The text is cut so the quote stays on the card.
  void TextCard(std::string_view keyword, std::string_view text) {
    const std::string_view value = CText(text).substr(0, kCardBytes - kCardKeywordBytes - 1);
    Raw(std::string(keyword) + std::string(value) + "'", kCardBytes);
  }
  // Four cards of 68-character pieces, each closed by a quote at position 79.
  void SplitCards(std::string_view keyword, std::string_view text) {
    const std::string_view value = CText(text);
    for (size_t card = 0; card < kSplitCards; ++card) {
      std::string piece(kSplitPieceBytes, ' ');
      const size_t start = card * kSplitPieceBytes;
      if (start < value.size()) {
        const std::string_view part = value.substr(start, kSplitPieceBytes);
        std::copy(part.begin(), part.end(), piece.begin());
      }
      Raw(std::string(keyword) + piece + "'", kCardBytes);
    }
  }
  // The text and its terminating zero over blanks.
  void Subdir(std::string_view text) {
    const std::string_view value = CText(text).substr(0, kSubdirBytes - 1);
    Raw(std::string(value) + '\0', kSubdirBytes);
  }

  size_t Position() const { return pos_; }
  const std::array<uint8_t, kSettingsFileBytes>& Bytes() const { return bytes_; }

 private:
  std::array<uint8_t, kSettingsFileBytes> bytes_{};
  size_t pos_ = 0;
};

// What reading one field leads to.
enum class Outcome { Next, Short, Rewrite };

// Hands out the file's bytes field by field; a field that runs past the end is not taken.
class Decoder {
 public:
  explicit Decoder(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool Take(size_t n, const uint8_t*& out) {
    if (bytes_.size() - pos_ < n) return false;
    out = bytes_.data() + pos_;
    pos_ += n;
    return true;
  }
  bool Byte(char& c) {
    const uint8_t* p = nullptr;
    if (!Take(1, p)) return false;
    c = static_cast<char>(p[0]);
    return true;
  }
  // Little-endian; sign-extended for a signed field.
  template <typename T>
  bool Number(T& v) {
    const uint8_t* p = nullptr;
    if (!Take(2, p)) return false;
    v = static_cast<T>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

Outcome YesNo(Decoder& d, bool& field) {
  char c = 0;
  if (!d.Byte(c)) return Outcome::Short;
  field = c == 'y';
  return Outcome::Next;
}

// 'y' or 'n' only; anything else leaves the field and rewrites the file.
Outcome StrictYesNo(Decoder& d, bool& field) {
  char c = 0;
  if (!d.Byte(c)) return Outcome::Short;
  if (c != 'y' && c != 'n') return Outcome::Rewrite;
  field = c == 'y';
  return Outcome::Next;
}

Outcome OneZero(Decoder& d, bool& field) {
  char c = 0;
  if (!d.Byte(c)) return Outcome::Short;
  field = c == '1';
  return Outcome::Next;
}

Outcome StrictOneZero(Decoder& d, bool& field) {
  char c = 0;
  if (!d.Byte(c)) return Outcome::Short;
  if (c != '1' && c != '0') return Outcome::Rewrite;
  field = c == '1';
  return Outcome::Next;
}

template <typename T>
Outcome Number(Decoder& d, T& field) {
  return d.Number(field) ? Outcome::Next : Outcome::Short;
}

// A number outside lo..hi leaves the field and rewrites the file.
template <typename T>
Outcome NumberInRange(Decoder& d, T& field, long lo, long hi) {
  T v{};
  if (!d.Number(v)) return Outcome::Short;
  if (v < lo || v > hi) return Outcome::Rewrite;
  field = v;
  return Outcome::Next;
}

// The text from position 11 up to the first quote (or zero byte), at most the 68 characters a card
// holds. A card without a closing quote gives its text without the trailing blanks.
std::string CardValue(const uint8_t* card) {
  const char* begin = reinterpret_cast<const char*>(card) + kCardKeywordBytes;
  const char* end = reinterpret_cast<const char*>(card) + kCardBytes;
  const char* stop = std::find_if(begin, end, [](char c) { return c == '\'' || c == '\0'; });
  std::string value(begin, std::min(stop, begin + kSplitPieceBytes));
  if (stop == end) value.erase(value.find_last_not_of(' ') + 1);
  return value;
}

Outcome TextCard(Decoder& d, std::string& field) {
  const uint8_t* card = nullptr;
  if (!d.Take(kCardBytes, card)) return Outcome::Short;
  field = CardValue(card);
  return Outcome::Next;
}

// The four cards' values joined; of the fourth only its first 51 characters.
Outcome SplitCards(Decoder& d, std::string& field) {
  const uint8_t* cards = nullptr;
  if (!d.Take(kSplitCards * kCardBytes, cards)) return Outcome::Short;
  std::string value;
  for (size_t card = 0; card < kSplitCards; ++card) {
    std::string piece = CardValue(cards + card * kCardBytes);
    if (card == kSplitCards - 1 && piece.size() > kLastPieceTaken) piece.resize(kLastPieceTaken);
    value += piece;
  }
  field = std::move(value);
  return Outcome::Next;
}

Outcome BackgroundColour(Decoder& d, Settings& s) {
  char c = 0;
  if (!d.Byte(c)) return Outcome::Short;
  return SetBackgroundColour(s, c) ? Outcome::Next : Outcome::Rewrite;
}

Outcome FastPar(Decoder& d, Settings& s, Host& host) {
  char c = 0;
  if (!d.Byte(c)) return Outcome::Short;
  if (c == 'y' || c == 'n') {
    s.fast_par = c == 'y';
  } else {
    host.MessageBox(kFastParFailure, kFastParCaption);
  }
  return Outcome::Next;
}

Outcome ComPort(Decoder& d, Settings& s) {
  int16_t v = 0;
  if (!d.Number(v)) return Outcome::Short;
  s.com_port = v == 1 ? 1 : 2;
  return Outcome::Next;
}

Outcome SaturationFactor(Decoder& d, Settings& s) {
  uint16_t v = 0;
  if (!d.Number(v)) return Outcome::Short;
  s.saturation_factor = v == 0 || v > 9 ? 3 : v;
  return Outcome::Next;
}

bool IsEastWest(uint8_t c) {
  return c == 'e' || c == 'w';
}

Outcome DriveDirections(Decoder& d, Settings& s) {
  const uint8_t* p = nullptr;
  if (!d.Take(4, p)) return Outcome::Short;
  if (!IsEastWest(p[2]) && !IsEastWest(p[3])) return Outcome::Rewrite;
  for (size_t i = 0; i < 4; ++i) s.drive_directions[i] = static_cast<char>(p[i]);
  return Outcome::Next;
}

Outcome Subdir(Decoder& d, Settings& s) {
  const uint8_t* p = nullptr;
  if (!d.Take(kSubdirBytes, p)) return Outcome::Short;
  std::string text(reinterpret_cast<const char*>(p), kSubdirBytes);
  // A quote ends the name like the zero byte does (the first byte excepted).
  std::replace(text.begin() + 1, text.end(), '\'', '\0');
  text.resize(std::min(text.find('\0'), text.size()));
  // A name that climbs out of the autosave folder is not taken, like any other invalid field.
  if (!AutosaveSubdirInside(text)) return Outcome::Rewrite;
  s.autosave_subdir = std::move(text);
  s.autosave_dir = AutosaveDir(s.autosave_subdir);
  return Outcome::Next;
}

using Field = Outcome (*)(Decoder&, Settings&, Host&);

// The fields in file order, each with its rule.
constexpr Field kFields[] = {
    [](Decoder& d, Settings& s, Host&) { return Number(d, s.autosave_counter); },
    [](Decoder& d, Settings& s, Host&) { return Number(d, s.ut_offset_hours); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.light_pollution_correction); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.line_offset); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.pixel_offset); },
    [](Decoder& d, Settings& s, Host& h) { return FastPar(d, s, h); },
    [](Decoder& d, Settings& s, Host&) { return NumberInRange(d, s.reserved_choice_a, 0, 3); },
    [](Decoder& d, Settings& s, Host&) { return Number(d, s.guide_mask_radius); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.anti_alias); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.weak_stretch); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.strong_stretch); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.ir_filter_used); },
    [](Decoder& d, Settings& s, Host&) { return SaturationFactor(d, s); },
    [](Decoder& d, Settings& s, Host&) { return NumberInRange(d, s.reserved_choice_b, 1, 3); },
    [](Decoder& d, Settings& s, Host&) { return BackgroundColour(d, s); },
    [](Decoder& d, Settings& s, Host&) { return OneZero(d, s.focus_delay); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.user_stretch); },
    [](Decoder& d, Settings& s, Host&) { return NumberInRange(d, s.user_stretch_value, 1, 36); },
    [](Decoder& d, Settings& s, Host&) { return StrictYesNo(d, s.high_pass); },
    [](Decoder& d, Settings& s, Host&) { return StrictYesNo(d, s.unsharp_mask); },
    [](Decoder& d, Settings& s, Host&) { return NumberInRange(d, s.unsharp_diameter, 1, 6); },
    [](Decoder& d, Settings& s, Host&) { return NumberInRange(d, s.unsharp_power, 1, 6); },
    [](Decoder& d, Settings& s, Host&) { return StrictYesNo(d, s.remove_background); },
    [](Decoder& d, Settings& s, Host&) { return StrictYesNo(d, s.disable_interrupts); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.fast_par_extended); },
    [](Decoder& d, Settings& s, Host&) { return TextCard(d, s.fits.fits_object); },
    [](Decoder& d, Settings& s, Host&) { return TextCard(d, s.fits.fits_telescope); },
    [](Decoder& d, Settings& s, Host&) { return TextCard(d, s.fits.fits_instrument); },
    [](Decoder& d, Settings& s, Host&) { return TextCard(d, s.fits.fits_observer); },
    [](Decoder& d, Settings& s, Host&) { return TextCard(d, s.fits.fits_origin); },
    [](Decoder& d, Settings& s, Host&) { return SplitCards(d, s.fits.fits_history_text); },
    [](Decoder& d, Settings& s, Host&) { return SplitCards(d, s.fits.fits_comment_text); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.alt_colour_coefficients); },
    [](Decoder& d, Settings& s, Host&) { return ComPort(d, s); },
    [](Decoder& d, Settings& s, Host&) { return Number(d, s.guide_training_time); },
    [](Decoder& d, Settings& s, Host&) { return Number(d, s.ra_pixels_per_sec); },
    [](Decoder& d, Settings& s, Host&) { return Number(d, s.dec_pixels_per_sec); },
    [](Decoder& d, Settings& s, Host&) { return NumberInRange(d, s.ra_backlash, 0, 20); },
    [](Decoder& d, Settings& s, Host&) { return NumberInRange(d, s.dec_backlash, 0, 20); },
    [](Decoder& d, Settings& s, Host&) { return StrictOneZero(d, s.ignore_small_drift); },
    [](Decoder& d, Settings& s, Host&) {
      char c = 0;
      if (!d.Byte(c)) return Outcome::Short;
      if (c != 'n' && c != 'l' && c != 'b') return Outcome::Rewrite;
      s.guide_interface = c;
      return Outcome::Next;
    },
    [](Decoder& d, Settings& s, Host&) { return Number(d, s.ra_hysteresis); },
    [](Decoder& d, Settings& s, Host&) { return Number(d, s.dec_hysteresis); },
    [](Decoder& d, Settings& s, Host&) { return DriveDirections(d, s); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.beep_after_exposure); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.direction_change_delay); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.telescope_link_open); },
    [](Decoder& d, Settings& s, Host&) { return Subdir(d, s); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.dedicated_com_port); },
    [](Decoder& d, Settings& s, Host&) { return YesNo(d, s.debug_mode); },
};

// Up to the record's length of the file; false when it cannot be opened.
bool ReadRecord(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
  FileBytes in = ReadFileBytes(path, kSettingsFileBytes);
  if (!in.opened) return false;
  bytes = std::move(in.bytes);
  return true;
}

}  // namespace

std::array<uint8_t, kSettingsFileBytes> EncodeSettings(const Settings& s) {
  Encoder e;
  e.Number(s.autosave_counter);
  e.Number(s.ut_offset_hours);
  e.YesNo(s.light_pollution_correction);
  e.YesNo(s.line_offset);
  e.YesNo(s.pixel_offset);
  e.YesNo(s.fast_par);
  e.Number(s.reserved_choice_a);
  e.Number(s.guide_mask_radius);
  e.YesNo(s.anti_alias);
  e.YesNo(s.weak_stretch);
  e.YesNo(s.strong_stretch);
  e.YesNo(s.ir_filter_used);
  e.Number(s.saturation_factor);
  e.Number(s.reserved_choice_b);
  e.Byte(s.background_colour);
  e.OneZero(s.focus_delay);
  e.YesNo(s.user_stretch);
  e.Number(s.user_stretch_value);
  e.YesNo(s.high_pass);
  e.YesNo(s.unsharp_mask);
  e.Number(s.unsharp_diameter);
  e.Number(s.unsharp_power);
  e.YesNo(s.remove_background);
  e.YesNo(s.disable_interrupts);
  e.YesNo(s.fast_par_extended);
  e.TextCard("OBJECT  = '", s.fits.fits_object);
  e.TextCard("TELESCOP= '", s.fits.fits_telescope);
  e.TextCard("INSTRUME= '", s.fits.fits_instrument);
  e.TextCard("OBSERVER= '", s.fits.fits_observer);
  e.TextCard("ORIGIN  = '", s.fits.fits_origin);
  e.SplitCards("HISTORY = '", s.fits.fits_history_text);
  e.SplitCards("COMMENT = '", s.fits.fits_comment_text);
  e.YesNo(s.alt_colour_coefficients);
  e.Number(s.com_port == 1 ? 1 : 2);
  e.Number(s.guide_training_time);
  e.Number(s.ra_pixels_per_sec);
  e.Number(s.dec_pixels_per_sec);
  e.Number(s.ra_backlash);
  e.Number(s.dec_backlash);
  e.OneZero(s.ignore_small_drift);
  e.Byte(s.guide_interface);
  e.Number(s.ra_hysteresis);
  e.Number(s.dec_hysteresis);
  for (char c : s.drive_directions) e.Byte(c);
  e.YesNo(s.beep_after_exposure);
  e.YesNo(s.direction_change_delay);
  e.YesNo(s.telescope_link_open);
  e.Subdir(s.autosave_subdir);
  e.YesNo(s.dedicated_com_port);
  e.YesNo(s.debug_mode);
  return e.Bytes();
}

int SaveSettings(const Settings& s, const Drive& drive, std::string_view file) {
  std::error_code ec;
  std::filesystem::create_directories(drive.Resolve(kAutosaveFolderPath), ec);
  const auto bytes = EncodeSettings(s);
  AtomicFile out(drive.Resolve(file));
  if (!out.Open() || !out.Write(bytes.data(), bytes.size()) || !out.Commit()) return 3;
  return 0;
}

int LoadSettings(Settings& s, const Drive& drive, Host& host, std::string_view file) {
  // First start: no folder yet, so there is no file either; write the defaults silently.
  std::error_code ec;
  const auto folder = drive.Resolve(kAutosaveFolderPath);
  if (!std::filesystem::exists(folder, ec) && std::filesystem::create_directories(folder, ec)) {
    return SaveSettings(s, drive, file);
  }

  std::vector<uint8_t> bytes;
  if (!ReadRecord(drive.Resolve(file), bytes)) {
    host.MessageBox(kNoSettingsFileWarning, "");
    return 2;
  }
  const int decoded = DecodeSettings(bytes, s, host);
  return decoded == kSettingsRewrite ? SaveSettings(s, drive, file) : decoded;
}

int DecodeSettings(std::span<const uint8_t> bytes, Settings& s, Host& host) {
  Decoder decoder(bytes);
  for (Field field : kFields) {
    switch (field(decoder, s, host)) {
      case Outcome::Next:
        break;
      case Outcome::Short:
        host.MessageBox(kNoSettingsFileWarning, "");
        return 2;
      case Outcome::Rewrite:
        return kSettingsRewrite;
    }
  }
  return 0;
}

std::string AutosaveDir(std::string_view autosave_subdir) {
  std::string dir = "c:\\AUTOSAVE";
  // Appended piecewise: g++ 12 -O3 misreads "\\" + std::string as an overlapping copy (-Wrestrict).
  if (!autosave_subdir.empty()) dir.append(1, '\\').append(autosave_subdir);
  return dir;
}

bool AutosaveSubdirInside(std::string_view subdir) {
  int depth = 0;
  size_t pos = 0;
  while (pos <= subdir.size()) {
    size_t next = subdir.find_first_of("\\/", pos);
    if (next == std::string_view::npos) next = subdir.size();
    const std::string_view part = subdir.substr(pos, next - pos);
    if (part == "..") {
      if (--depth < 0) return false;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    pos = next + 1;
  }
  return true;
}

void SetAutosaveSubdir(Settings& s, std::string_view subdir) {
  s.autosave_subdir = std::string(CText(subdir).substr(0, kAutosaveSubdirLimit));
  s.autosave_dir = AutosaveDir(s.autosave_subdir);
}

bool SetBackgroundColour(Settings& s, char letter) {
  struct Colour {
    char letter;
    uint8_t red, green, blue;
  };
  static constexpr Colour kColours[] = {{'l', 192, 192, 192}, {'g', 90, 90, 90}, {'r', 120, 40, 40}};
  for (const Colour& c : kColours) {
    if (c.letter != letter) continue;
    s.background_colour = letter;
    s.background_red = c.red;
    s.background_green = c.green;
    s.background_blue = c.blue;
    s.background_changed = true;
    return true;
  }
  return false;
}

}  // namespace nyxel
