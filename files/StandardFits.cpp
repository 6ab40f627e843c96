#include "files/StandardFits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

}  // namespace nyxel
