#include "files/StandardFits.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/AtomicFile.h"
#include "files/FitsFile.h"

namespace nyxel {
namespace {

constexpr size_t kCard = kFitsCardBytes;
constexpr int kTextRoom = 68;  // characters between the quotes of a card without comment

std::string Pad(std::string s) {
  s.resize(kCard, ' ');
  return s;
}

std::string Keyword(std::string_view key) {
  std::string s(key);
  s.resize(8, ' ');
  return s;
}

// Fixed format: the value right-justified in columns 11..30, then the comment.
std::string ValueCard(std::string_view key, const std::string& value, std::string_view comment) {
  std::string s = Keyword(key) + "= ";
  s.append(value.size() < 20 ? 20 - value.size() : 0, ' ');
  s += value;
  if (!comment.empty()) {
    s += " / ";
    s += comment;
  }
  return Pad(s.substr(0, kCard));
}

std::string IntCard(std::string_view key, long v, std::string_view comment) {
  return ValueCard(key, std::to_string(v), comment);
}

std::string RealCard(std::string_view key, double v, std::string_view comment) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10G", v);
  std::string s = text;
  // A real value carries a decimal point or an exponent.
  if (s.find_first_of(".E") == std::string::npos) s += ".0";
  return ValueCard(key, s, comment);
}

// Printable ASCII only, as the standard allows in a header.
std::string Printable(std::string_view text) {
  std::string s;
  for (const char c : text) s += (c >= 32 && c <= 126) ? c : ' ';
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// A string value: quotes doubled, cut to what one card holds, at least 8 characters inside.
std::string TextCard(std::string_view key, std::string_view text) {
  std::string quoted;
  for (const char c : Printable(text)) {
    if (quoted.size() + (c == '\'' ? 2 : 1) > kTextRoom) break;
    quoted += c;
    if (c == '\'') quoted += c;
  }
  if (quoted.size() < 8) quoted.resize(8, ' ');
  return Pad(Keyword(key) + "= '" + quoted + "'");
}

// HISTORY and COMMENT: free text in columns 9..80, a long text over several cards.
void CommentaryCards(std::string_view key, std::string_view text, std::vector<std::string>& cards) {
  const std::string s = Printable(text);
  constexpr size_t kRoom = kCard - 8;
  for (size_t at = 0; at < s.size(); at += kRoom) cards.push_back(Pad(Keyword(key) + s.substr(at, kRoom)));
}

bool ReadNumber(const std::string& text, size_t& at, int digits_min, int digits_max, int& value) {
  int n = 0;
  value = 0;
  while (at < text.size() && n < digits_max && text[at] >= '0' && text[at] <= '9') {
    value = value * 10 + (text[at] - '0');
    ++at;
    ++n;
  }
  return n >= digits_min;
}

bool ValidDate(int year, int month, int day) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month != 2 || day < 29 || leap;
}

}  // namespace

std::string IsoDateObs(const std::string& date_obs, const std::string& time_obs) {
  int year = 0, month = 0, day = 0;
  size_t at = 0;
  const std::string d = Printable(date_obs);
  if (d.size() == 10 && d[4] == '-' && d[7] == '-') {
    // "yyyy-mm-dd", as Save as FITS dates a file.
    if (!ReadNumber(d, at, 4, 4, year) || d[at++] != '-' || !ReadNumber(d, at, 2, 2, month) ||
        d[at++] != '-' || !ReadNumber(d, at, 2, 2, day)) {
      return "";
    }
  } else {
    // "d/m/yy", as an autosave dates its file; the two-digit years of the program are 1980 to 2079.
    if (!ReadNumber(d, at, 1, 2, day) || at >= d.size() || d[at++] != '/' ||
        !ReadNumber(d, at, 1, 2, month) || at >= d.size() || d[at++] != '/' ||
        !ReadNumber(d, at, 2, 2, year) || at != d.size()) {
      return "";
    }
    year += year < 80 ? 2000 : 1900;
  }
  if (!ValidDate(year, month, day)) return "";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  std::string iso = text;
  const std::string t = Printable(time_obs);
  int hour = 0, minute = 0, second = 0;
  at = 0;
  if (ReadNumber(t, at, 2, 2, hour) && at < t.size() && t[at++] == ':' && ReadNumber(t, at, 2, 2, minute) &&
      at < t.size() && t[at++] == ':' && ReadNumber(t, at, 2, 2, second) && hour < 24 && minute < 60 &&
      second < 60) {
    char clock_text[48];  // room for any int, so no compiler sees a truncation
    std::snprintf(clock_text, sizeof clock_text, "T%02d:%02d:%02d", hour, minute, second);
    iso += clock_text;
  }
  return iso;
}

std::vector<std::string> StandardFitsCards(const FitsHeader& fits, const ProcessingHistory& history,
                                           bool colour) {
  std::vector<std::string> cards;
  cards.push_back(ValueCard("SIMPLE", "T", "file conforms to the FITS standard"));
  cards.push_back(IntCard("BITPIX", colour ? 8 : 16, colour ? "8-bit colour planes" : "16-bit pixels"));
  cards.push_back(IntCard("NAXIS", colour ? 3 : 2, ""));
  cards.push_back(IntCard("NAXIS1", kStandardFitsColumns, "columns"));
  cards.push_back(IntCard("NAXIS2", kFrameHeight, "rows"));
  if (colour) cards.push_back(IntCard("NAXIS3", 3, "planes: red, green, blue"));
  if (!colour) {
    cards.push_back(RealCard("BZERO", 32768, "unsigned 16-bit pixels"));
    cards.push_back(RealCard("BSCALE", 1, ""));
  }
  cards.push_back(TextCard("ROWORDER", "BOTTOM-UP"));
  cards.push_back(TextCard("OBJECT", fits.fits_object));
  cards.push_back(TextCard("TELESCOP", fits.fits_telescope));
  cards.push_back(TextCard("INSTRUME", fits.fits_instrument));
  cards.push_back(TextCard("OBSERVER", fits.fits_observer));
  if (!Printable(fits.fits_origin).empty()) cards.push_back(TextCard("ORIGIN", fits.fits_origin));
  const std::string date = IsoDateObs(fits.fits_date_obs, fits.fits_time_obs);
  if (!date.empty()) cards.push_back(TextCard("DATE-OBS", date));
  cards.push_back(RealCard("EXPTIME", fits.fits_exposure, "[s] exposure time"));
  // The program keeps pixel sizes in millimetres, focal length in inches and aperture in square inches.
  cards.push_back(RealCard("XPIXSZ", fits.fits_pixel_width * 1000.0, "[um] pixel width"));
  cards.push_back(RealCard("YPIXSZ", fits.fits_pixel_height * 1000.0, "[um] pixel height"));
  if (fits.fits_focal_length > 0) {
    cards.push_back(RealCard("FOCALLEN", fits.fits_focal_length * 25.4, "[mm] focal length"));
  }
  if (fits.fits_aperture > 0) {
    cards.push_back(RealCard("APTAREA", fits.fits_aperture * 645.16, "[mm2] aperture area"));
  }
  if (!Printable(fits.fits_filter).empty()) cards.push_back(TextCard("FILTER", fits.fits_filter));
  for (int i = 0; i < kHistoryLines; ++i) CommentaryCards("HISTORY", history.Line(i), cards);
  CommentaryCards("HISTORY", fits.fits_history_text, cards);
  CommentaryCards("COMMENT", fits.fits_comment_text, cards);
  cards.push_back(Pad("END"));
  return cards;
}

int WriteStandardFitsFile(const std::filesystem::path& file, const ImageStore& store, const FitsHeader& fits,
                          bool colour) {
  std::string header;
  for (const std::string& card : StandardFitsCards(fits, store.History, colour)) header += card;
  header.resize((header.size() + kFitsBlockBytes - 1) / kFitsBlockBytes * kFitsBlockBytes, ' ');

  // Bottom row first; 16-bit pixels big-endian less 32768 (BZERO), planes as they are.
  std::vector<uint8_t> data;
  if (colour) {
    data.reserve(3u * kStandardFitsColumns * kFrameHeight);
    for (const Plane* plane : {&store.RedPlane, &store.GreenPlane, &store.BluePlane}) {
      for (int row = kFrameHeight - 1; row >= 0; --row) {
        const auto* p = plane->data() + PixelIndex(row, 0);
        data.insert(data.end(), p, p + kStandardFitsColumns);
      }
    }
  } else {
    data.reserve(2u * kStandardFitsColumns * kFrameHeight);
    for (int row = kFrameHeight - 1; row >= 0; --row) {
      for (int column = 0; column < kStandardFitsColumns; ++column) {
        const uint16_t v = store.CurrentFrame[PixelIndex(row, column)] ^ 0x8000;
        data.push_back(static_cast<uint8_t>(v >> 8));
        data.push_back(static_cast<uint8_t>(v & 0xFF));
      }
    }
  }
  data.resize((data.size() + kFitsBlockBytes - 1) / kFitsBlockBytes * kFitsBlockBytes, 0);

  AtomicFile out(file);
  if (!out.Open() || !out.Write(header.data(), header.size()) || !out.Write(data.data(), data.size()) ||
      !out.Commit()) {
    return kFitsFailed;
  }
  return kFitsOk;
}

// ---- reading ----

namespace {

// One header card: its keyword, and its value when it has one ("= " in columns 9 and 10).
struct CardValue {
  std::string keyword;
  bool has_value = false;
  bool is_string = false;
  std::string text;  // a string's characters (quotes undone, trailing blanks dropped) or the value's token
};

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

CardValue ParseCard(const char* card) {
  CardValue v;
  v.keyword = TrimRight(std::string(card, 8));
  if (card[8] != '=' || card[9] != ' ') return v;
  v.has_value = true;
  size_t at = 10;
  while (at < kCard && card[at] == ' ') ++at;
  if (at < kCard && card[at] == '\'') {
    v.is_string = true;
    for (++at; at < kCard; ++at) {
      if (card[at] == '\'') {
        if (at + 1 < kCard && card[at + 1] == '\'') {
          v.text += '\'';
          ++at;
          continue;
        }
        break;
      }
      v.text += card[at];
    }
    // Trailing blanks in a string value carry no meaning.
    v.text = TrimRight(std::move(v.text));
    return v;
  }
  const size_t end = std::string_view(card + at, kCard - at).find('/');
  v.text = TrimRight(std::string(card + at, end == std::string_view::npos ? kCard - at : end));
  return v;
}

bool ParseInteger(const CardValue& v, long& out) {
  if (!v.has_value || v.is_string || v.text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(v.text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  out = n;
  return true;
}

bool ParseReal(const CardValue& v, double& out) {
  if (!v.has_value || v.is_string || v.text.empty()) return false;
  std::string t = v.text;
  // FITS allows a D exponent for double precision.
  for (char& c : t) {
    if (c == 'D' || c == 'd') c = 'E';
  }
  char* end = nullptr;
  const double d = std::strtod(t.c_str(), &end);
  if (*end != '\0' || !std::isfinite(d)) return false;
  out = d;
  return true;
}

// A text card's value as the header values keep it: at most what one card holds.
std::string CardString(const CardValue& v) {
  return v.text.substr(0, kTextRoom);
}

// HISTORY and COMMENT pieces joined: each piece's 72 columns as they stand, the last without its
// trailing blanks, at most 255 characters (what the header values hold).
std::string JoinCommentary(const std::vector<std::string>& pieces) {
  std::string text;
  for (const std::string& piece : pieces) text += piece;
  text = TrimRight(std::move(text));
  if (text.size() > 255) text = TrimRight(text.substr(0, 255));
  return text;
}

bool KnownGeometry(const StandardFitsFile& f) {
  if (f.axes[0] != kStandardFitsColumns && f.axes[0] != kFrameWidth) return false;
  if (f.axes[1] != kFrameHeight) return false;
  if (f.naxis == 2) return f.bitpix == 8 || f.bitpix == 16 || f.bitpix == 32 || f.bitpix == -32;
  if (f.naxis != 3) return false;
  // One plane is a monochrome picture written with a third axis; three 8-bit planes a colour one.
  if (f.axes[2] == 1) return f.bitpix == 8 || f.bitpix == 16 || f.bitpix == 32 || f.bitpix == -32;
  return f.axes[2] == 3 && f.bitpix == 8;
}

size_t PixelCount(const StandardFitsFile& f) {
  return static_cast<size_t>(f.axes[0]) * static_cast<size_t>(f.axes[1]) *
         static_cast<size_t>(f.naxis == 3 ? f.axes[2] : 1);
}

// The physical value of stored value k of the data (BSCALE x stored + BZERO); NaN stays NaN.
double Physical(const StandardFitsFile& f, size_t k) {
  const uint8_t* p = f.data;
  double raw = 0;
  switch (f.bitpix) {
    case 8:
      raw = p[k];
      break;
    case 16:
      raw = static_cast<int16_t>(static_cast<uint16_t>(p[2 * k] << 8 | p[2 * k + 1]));
      break;
    case 32:
      raw = static_cast<int32_t>(static_cast<uint32_t>(p[4 * k]) << 24 |
                                 static_cast<uint32_t>(p[4 * k + 1]) << 16 |
                                 static_cast<uint32_t>(p[4 * k + 2]) << 8 | p[4 * k + 3]);
      break;
    default: {
      const uint32_t bits = static_cast<uint32_t>(p[4 * k]) << 24 |
                            static_cast<uint32_t>(p[4 * k + 1]) << 16 |
                            static_cast<uint32_t>(p[4 * k + 2]) << 8 | p[4 * k + 3];
      float value;
      std::memcpy(&value, &bits, sizeof value);
      raw = value;
      break;
    }
  }
  return raw * f.bscale + f.bzero;
}

// The factor that brings a monochrome picture's physical values into 0..65535: 8-bit pictures are
// spread over the whole range (255 becomes 65535); floating-point pictures of at most 1.0 are taken
// as the fraction of full scale; a picture whose brightest pixel lies above 65535 is scaled down so
// that it reaches 65535; anything else is taken as it is.
double ScaleFactor(const StandardFitsFile& f) {
  if (f.bitpix == 8) return 257.0;
  double brightest = 0;
  const size_t n = static_cast<size_t>(f.axes[0]) * kFrameHeight;
  for (size_t k = 0; k < n; ++k) {
    const double v = Physical(f, k);
    if (v > brightest) brightest = v;  // NaN compares false
  }
  if (f.bitpix == -32 && brightest <= 1.0) return 65535.0;
  return brightest > 65535.0 ? 65535.0 / brightest : 1.0;
}

uint16_t ToPixel(double v) {
  if (!(v > 0)) return 0;  // negatives and NaN
  if (v >= 65535.0) return 65535;
  return static_cast<uint16_t>(std::lround(v));
}

// Image row of the file's stored row k.
int ImageRow(const StandardFitsFile& f, int k) {
  return f.bottom_up ? kFrameHeight - 1 - k : k;
}

}  // namespace

bool IsStandardFits(std::span<const uint8_t> bytes) {
  if (bytes.size() < kCard || std::memcmp(bytes.data(), "SIMPLE  =", 9) != 0) return false;
  const CardValue v = ParseCard(reinterpret_cast<const char*>(bytes.data()));
  return v.has_value && !v.is_string && v.text == "T";
}

int ParseStandardFits(std::span<const uint8_t> bytes, const FitsHeader& fits, StandardFitsFile& out) {
  out = StandardFitsFile{};
  if (!IsStandardFits(bytes)) return kStandardFitsOtherShape;
  out.fits = fits;
  FitsHeader& f = out.fits;
  // The picture's own values start empty, as for any image opened; the file then fills them in.
  f.fits_object.clear();
  f.fits_telescope.clear();
  f.fits_observer.clear();
  f.fits_origin.clear();
  f.fits_date_obs.clear();
  f.fits_time_obs.clear();
  f.fits_history_text.clear();
  f.fits_comment_text.clear();
  f.fits_instrument = "Halvorn CCD";
  f.fits_filter.clear();
  f.fits_exposure = 0;
  f.fits_focal_length = 0;
  f.fits_aperture = 0;

  const size_t limit = std::min<size_t>(bytes.size(), kStandardFitsHeaderLimit) / kCard;
  const char* text = reinterpret_cast<const char*>(bytes.data());
  bool ended = false;
  bool have_date = false, have_exptime = false;
  std::string date_obs, time_obs;
  std::vector<std::string> history_text, comment_text;
  int history_lines = 0;
  bool history_lines_done = false;
  size_t cards = 0;
  for (; cards < limit; ++cards) {
    const char* card = text + cards * kCard;
    const CardValue v = ParseCard(card);
    if (v.keyword == "END") {
      ended = true;
      ++cards;
      break;
    }
    long n = 0;
    double d = 0;
    const std::string& k = v.keyword;
    if (k == "HISTORY" || k == "COMMENT") {
      const std::string piece(card + 8, kCard - 8);
      const std::string line = TrimRight(piece);
      if (k == "COMMENT") {
        comment_text.push_back(piece);
      } else if (!history_lines_done && line.empty()) {
        // An empty line is no step of the processing history.
      } else if (!history_lines_done && line.size() <= static_cast<size_t>(kHistoryLineLength) &&
                 history_lines < kHistoryLines) {
        // The short lines first are the processing history; what follows is the history text.
        out.history.SetLine(history_lines++, Printable(line));
      } else {
        history_lines_done = true;
        history_text.push_back(piece);
      }
      continue;
    }
    if (!v.has_value) continue;
    if (k == "BITPIX" || k == "NAXIS" || k == "NAXIS1" || k == "NAXIS2" || k == "NAXIS3") {
      if (!ParseInteger(v, n)) return kStandardFitsDamaged;
      if (k == "BITPIX") out.bitpix = static_cast<int>(std::clamp<long>(n, -1000, 1000));
      if (k == "NAXIS") out.naxis = static_cast<int>(std::clamp<long>(n, -1000, 1000));
      if (k == "NAXIS1") out.axes[0] = n;
      if (k == "NAXIS2") out.axes[1] = n;
      if (k == "NAXIS3") out.axes[2] = n;
    } else if (k == "BZERO" || k == "BSCALE") {
      if (!ParseReal(v, d)) return kStandardFitsDamaged;
      (k == "BZERO" ? out.bzero : out.bscale) = d;
    } else if (k == "ROWORDER") {
      out.bottom_up = v.text != "TOP-DOWN";
    } else if (k == "OBJECT") {
      f.fits_object = CardString(v);
    } else if (k == "TELESCOP") {
      f.fits_telescope = CardString(v);
    } else if (k == "INSTRUME") {
      f.fits_instrument = CardString(v);
    } else if (k == "OBSERVER") {
      f.fits_observer = CardString(v);
    } else if (k == "ORIGIN") {
      f.fits_origin = CardString(v);
    } else if (k == "FILTER") {
      f.fits_filter = CardString(v);
    } else if (k == "DATE-OBS") {
      date_obs = v.text;
      have_date = true;
    } else if (k == "TIME-OBS") {
      time_obs = v.text;
    } else if (k == "EXPTIME" || (k == "EXPOSURE" && !have_exptime)) {
      if (ParseReal(v, d)) {
        f.fits_exposure = d;
        have_exptime = k == "EXPTIME";
      }
    } else if (k == "XPIXSZ" && ParseReal(v, d)) {
      f.fits_pixel_width = d / 1000.0;  // micrometres; the program keeps millimetres
    } else if (k == "YPIXSZ" && ParseReal(v, d)) {
      f.fits_pixel_height = d / 1000.0;
    } else if (k == "FOCALLEN" && ParseReal(v, d)) {
      f.fits_focal_length = d / 25.4;  // millimetres; the program keeps inches
    } else if (k == "APTAREA" && ParseReal(v, d)) {
      f.fits_aperture = d / 645.16;  // square millimetres; the program keeps square inches
    }
  }
  if (!ended) return kStandardFitsDamaged;
  if (!KnownGeometry(out)) return kStandardFitsOtherShape;
  if (!std::isfinite(out.bscale) || !std::isfinite(out.bzero)) return kStandardFitsDamaged;
  out.colour = out.naxis == 3 && out.axes[2] == 3;

  // The data start at the block after the END card.
  const size_t data_at = (cards * kCard + kFitsBlockBytes - 1) / kFitsBlockBytes * kFitsBlockBytes;
  const size_t data_bytes = PixelCount(out) * static_cast<size_t>(std::abs(out.bitpix) / 8);
  if (bytes.size() < data_at || bytes.size() - data_at < data_bytes) return kStandardFitsDamaged;
  out.data = bytes.data() + data_at;

  // DATE-OBS "yyyy-mm-dd" or "yyyy-mm-ddThh:mm:ss[.s...]", or an older form kept as it stands.
  const std::string date = Printable(date_obs);
  if (have_date && date.size() >= 10 && date[4] == '-' && date[7] == '-') {
    f.fits_date_obs = date.substr(0, 10);
    if (date.size() > 11 && date[10] == 'T') time_obs = date.substr(11);
  } else {
    f.fits_date_obs = date.substr(0, 10);
  }
  f.fits_time_obs = Printable(time_obs).substr(0, 11);
  f.fits_history_text = Printable(JoinCommentary(history_text));
  f.fits_comment_text = Printable(JoinCommentary(comment_text));
  return kStandardFitsOk;
}

void TakeStandardFitsPixels(const StandardFitsFile& file, Frame& image) {
  const int columns = static_cast<int>(file.axes[0]);
  if (file.colour) {
    // A cube has no raw frame: its grey picture is the planes' mean, spread over 16 bits.
    const size_t plane = static_cast<size_t>(columns) * kFrameHeight;
    for (int k = 0; k < kFrameHeight; ++k) {
      uint16_t* out = image.data() + PixelIndex(ImageRow(file, k), 0);
      for (int c = 0; c < columns; ++c) {
        const size_t at = static_cast<size_t>(k) * columns + c;
        double sum = 0;
        for (int p = 0; p < 3; ++p) sum += std::clamp(Physical(file, at + p * plane), 0.0, 255.0);
        out[c] = static_cast<uint16_t>(std::lround(sum * 257.0 / 3.0));
      }
    }
    return;
  }
  if (file.bitpix == 16 && file.bscale == 1 && (file.bzero == 32768 || file.bzero == 0)) {
    // The usual 16-bit picture, exactly: unsigned through BZERO 32768, or signed with negatives at 0.
    const bool offset = file.bzero == 32768;
    for (int k = 0; k < kFrameHeight; ++k) {
      const uint8_t* in = file.data + static_cast<size_t>(k) * columns * 2;
      uint16_t* out = image.data() + PixelIndex(ImageRow(file, k), 0);
      for (int c = 0; c < columns; ++c) {
        const uint16_t raw = static_cast<uint16_t>(in[2 * c] << 8 | in[2 * c + 1]);
        out[c] = offset ? static_cast<uint16_t>(raw ^ 0x8000) : (raw & 0x8000 ? 0 : raw);
      }
    }
    return;
  }
  const double factor = ScaleFactor(file);
  for (int k = 0; k < kFrameHeight; ++k) {
    uint16_t* out = image.data() + PixelIndex(ImageRow(file, k), 0);
    for (int c = 0; c < columns; ++c)
      out[c] = ToPixel(Physical(file, static_cast<size_t>(k) * columns + c) * factor);
  }
}

void TakeStandardFitsPlanes(const StandardFitsFile& file, ImageStore& store) {
  if (!file.colour) return;
  const int columns = static_cast<int>(file.axes[0]);
  const size_t plane = static_cast<size_t>(columns) * kFrameHeight;
  Plane* planes[3] = {&store.RedPlane, &store.GreenPlane, &store.BluePlane};
  for (int p = 0; p < 3; ++p) {
    for (int k = 0; k < kFrameHeight; ++k) {
      uint8_t* out = planes[p]->data() + PixelIndex(ImageRow(file, k), 0);
      for (int c = 0; c < columns; ++c) {
        const double v = Physical(file, p * plane + static_cast<size_t>(k) * columns + c);
        out[c] = static_cast<uint8_t>(v > 0 ? std::lround(std::min(v, 255.0)) : 0);
      }
    }
  }
}

std::string StandardFitsSizesText(const StandardFitsFile& file, bool second) {
  std::string text = second ? "A dark frame, flat field or image to merge can be"
                            : "Nyxel opens its own RV and FITS files, and";
  text +=
      " a FITS image of 510 or 512 columns by 290 rows with BITPIX 16 (BZERO 32768 for unsigned "
      "pixels), 8, 32 or -32";
  if (!second) text += ", or an 8-bit colour cube of 3 x 290 x 510";
  text += ".";
  if (file.naxis > 0) {
    text += " This file holds ";
    for (int i = 0; i < std::min(file.naxis, 3); ++i) {
      if (i) text += " x ";
      text += std::to_string(file.axes[i]);
    }
    if (file.naxis > 3) text += " x ...";
    text += " values with BITPIX " + std::to_string(file.bitpix) + ".";
  }
  return text;
}

}  // namespace nyxel
