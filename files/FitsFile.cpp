#include "files/FitsFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/AtomicFile.h"
#include "files/FileBytes.h"

namespace nyxel {
namespace {

using Card = std::array<char, kFitsCardBytes>;

constexpr int kTextLimit = 68;         // characters between "= '" and the closing quote
constexpr int kSplitTextLimit = 255;   // history and comment texts over four cards
constexpr int kFirstHistoryCard = 13;  // cards 13..27: the processing history
constexpr int kPlaneFileBytes = kFramePixels;

Card BlankCard() {
  Card c;
  c.fill(' ');
  return c;
}

Card LiteralCard(std::string_view text) {
  Card c = BlankCard();
  std::copy_n(text.begin(), std::min<size_t>(text.size(), kFitsCardBytes), c.begin());
  return c;
}

// "KEYWORD = '" + text + "'", the quote right after the text.
Card TextCard(std::string_view keyword, std::string_view text) {
  std::string s(keyword);
  s.resize(8, ' ');
  s += "= '";
  s += text.substr(0, kTextLimit);
  s += '\'';
  return LiteralCard(s);
}

// One 68-character piece of a split text, padded with blanks, the quote at position 79.
Card SplitCard(std::string_view keyword, std::string_view text, int piece) {
  std::string s(keyword);
  s.resize(8, ' ');
  s += "= '";
  const size_t from = static_cast<size_t>(piece) * kTextLimit;
  if (from < text.size()) s += text.substr(from, kTextLimit);
  s.resize(kFitsCardBytes - 1, ' ');
  s += '\'';
  return LiteralCard(s);
}

Card NumberCard(std::string_view keyword, double value) {
  std::string s(keyword);
  s.resize(8, ' ');
  s += "=    ";
  char number[64];
  std::snprintf(number, sizeof number, "%11.10E", value);
  s += number;
  return LiteralCard(s);
}

std::vector<Card> HeaderCards(const FitsHeader& fits, const ProcessingHistory& history) {
  std::vector<Card> cards;
  cards.reserve(72);
  cards.push_back(LiteralCard("SIMPLE  =                    T /"));
  cards.push_back(LiteralCard("BITPIX  =                   16 /"));
  cards.push_back(LiteralCard("NAXIS   =                    2 /"));
  cards.push_back(LiteralCard("NAXIS1  =                  512 /"));
  cards.push_back(LiteralCard("NAXIS2  =                  290 /"));
  cards.push_back(TextCard("OBJECT", fits.fits_object));
  cards.push_back(TextCard("TELESCOP", fits.fits_telescope));
  cards.push_back(TextCard("INSTRUME", fits.fits_instrument));
  cards.push_back(TextCard("OBSERVER", fits.fits_observer));
  cards.push_back(TextCard("ORIGIN", fits.fits_origin));
  cards.push_back(TextCard("DATE-OBS", fits.fits_date_obs));
  cards.push_back(TextCard("TIME-OBS", fits.fits_time_obs));
  for (int i = 0; i < kHistoryLines; ++i) cards.push_back(TextCard("HISTORY", history.Line(i)));
  const std::string_view history_text = std::string_view(fits.fits_history_text).substr(0, kSplitTextLimit);
  const std::string_view comment_text = std::string_view(fits.fits_comment_text).substr(0, kSplitTextLimit);
  for (int k = 0; k < 4; ++k) cards.push_back(SplitCard("HISTORY", history_text, k));
  for (int k = 0; k < 4; ++k) cards.push_back(SplitCard("COMMENT", comment_text, k));
  cards.push_back(
      LiteralCard(fits.fits_unsigned ? "BZERO   =   +0.0000000000E+00" : "BZERO   =   +3.2768000000E+04"));
  cards.push_back(LiteralCard("BSCALE  =   +1.0000000000E+00"));
  cards.push_back(NumberCard("PIXWIDTH", fits.fits_pixel_width));
  cards.push_back(NumberCard("PIXHEIGH", fits.fits_pixel_height));
  cards.push_back(
      LiteralCard(fits.fits_unsigned ? "SATURATE=                65535" : "SATURATE=                32768"));
  cards.push_back(NumberCard("EXPTIME", fits.fits_exposure));
  cards.push_back(NumberCard("FOCALLEN", fits.fits_focal_length));
  cards.push_back(NumberCard("APERTURE", fits.fits_aperture));
  cards.push_back(TextCard("FILTER", fits.fits_filter));
  cards.push_back(LiteralCard("END"));
  while (cards.size() < 72) cards.push_back(BlankCard());
  return cards;
}

// A file's header decoded and its size checked before any of it is taken; the pixels and planes stay
// in the file's bytes until then, so a read allocates no image memory.
struct FitsContents {
  ProcessingHistory history{};
  FitsHeader fits;
  const uint8_t* pixels = nullptr;
  uint16_t offset = 0;               // 0x8000 for the signed coding
  const uint8_t* planes = nullptr;   // red, green, blue; null unless a colour file is read whole
};

class CardReader {
 public:
  explicit CardReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  // Card n (1-based), or nullptr when the file ends before it.
  const char* CardAt(int n) const {
    const size_t at = static_cast<size_t>(n - 1) * kFitsCardBytes;
    if (at + kFitsCardBytes > bytes_.size()) return nullptr;
    return reinterpret_cast<const char*>(bytes_.data() + at);
  }

 private:
  std::span<const uint8_t> bytes_;
};

// The text from position 11 up to the first quote; a card without one gives its 68 text positions.
std::string CardText(const char* card) {
  const char* begin = card + 11;
  const char* end = card + kFitsCardBytes;
  const char* quote = std::find(begin, end, '\'');
  if (quote == end) quote = begin + kTextLimit;
  return std::string(begin, quote);
}

void CardNumber(const char* card, double& value) {
  // The number sits at positions 13..28; the rest of the card is blank in the program's own files.
  char text[kFitsCardBytes - 13 + 1];
  std::memcpy(text, card + 13, kFitsCardBytes - 13);
  text[kFitsCardBytes - 13] = '\0';
  double v = 0;
  if (std::sscanf(text, "%lf", &v) == 1 && std::isfinite(v)) value = v;
}

bool Matches(const char* card, int pos, std::string_view text) {
  return std::memcmp(card + pos, text.data(), text.size()) == 0;
}

// Big-endian pixels in the file's coding (offset 0x8000 for signed): one copy of the file's bytes, then
// each pixel turned in place. The loop touches only the frame, so the fuzzers leave it out of their
// tracing and address checks (fuzz/*-ignore.txt); the copy stays checked against the file's bytes.
void SwapPixels(Frame& image, uint16_t offset) {
  uint16_t* p = image.data();
  for (int i = 0; i < kFramePixels; ++i) p[i] = static_cast<uint16_t>(((p[i] & 0xFF) << 8 | p[i] >> 8) ^ offset);
}

void DecodePixels(const uint8_t* d, uint16_t offset, Frame& image) {
  std::memcpy(image.data(), d, 2 * static_cast<size_t>(kFramePixels));
  SwapPixels(image, offset);
}

// Decodes a file's bytes; `out.fits` must hold the values to start from (the reader keeps those a
// file does not carry). Returns kFitsOk, kFitsFailed or kFitsForeign.
int DecodeFits(std::span<const uint8_t> bytes, FitsHeaderKind kind, bool colour, bool image_only,
               FitsContents& out) {
  const CardReader cards(bytes);
  const char* c = cards.CardAt(1);
  if (!c) return kFitsFailed;
  c = cards.CardAt(2);
  if (!c) return kFitsFailed;
  if (!Matches(c, 28, "16")) return kFitsForeign;
  if (!(c = cards.CardAt(3))) return kFitsFailed;
  if (!Matches(c, 29, "2")) return kFitsForeign;
  if (!(c = cards.CardAt(4))) return kFitsFailed;
  if (!Matches(c, 27, "512")) return kFitsForeign;
  if (!(c = cards.CardAt(5))) return kFitsFailed;
  if (!Matches(c, 27, "290")) return kFitsForeign;

  // Cards 6..35, needed by both header kinds.
  if (!cards.CardAt(35)) return kFitsFailed;
  FitsHeader& f = out.fits;
  if (!image_only) {
    std::string* texts[7] = {&f.fits_object, &f.fits_telescope, &f.fits_instrument, &f.fits_observer,
                             &f.fits_origin, &f.fits_date_obs,  &f.fits_time_obs};
    for (int k = 0; k < 7; ++k) *texts[k] = CardText(cards.CardAt(6 + k));
    for (int i = 0; i < kHistoryLines; ++i)
      out.history.SetLine(i, CardText(cards.CardAt(kFirstHistoryCard + i)));
    auto split = [&](int first) {
      std::string text;
      for (int k = 0; k < 4; ++k) {
        std::string piece = CardText(cards.CardAt(first + k));
        if (k == 3 && piece.size() > 51) piece.resize(51);
        text += piece;
      }
      return text;
    };
    f.fits_history_text = split(28);
    f.fits_comment_text = split(32);
  }

  const char* bzero = cards.CardAt(36);
  if (!bzero) return kFitsFailed;
  bool unsigned_coding = false;
  size_t data_at = kFitsOldHeaderBytes;
  if (kind == FitsHeaderKind::Current) {
    unsigned_coding = Matches(bzero, 0, "BZERO   =   +0.0000000000E+00");
    if (!cards.CardAt(72)) return kFitsFailed;
    if (!image_only) {
      CardNumber(cards.CardAt(38), f.fits_pixel_width);
      CardNumber(cards.CardAt(39), f.fits_pixel_height);
      CardNumber(cards.CardAt(41), f.fits_exposure);
      CardNumber(cards.CardAt(42), f.fits_focal_length);
      CardNumber(cards.CardAt(43), f.fits_aperture);
      f.fits_filter = CardText(cards.CardAt(44));
    }
    data_at = kFitsHeaderBytes;
  }
  if (!image_only) f.fits_unsigned = unsigned_coding ? 1 : 0;

  if (bytes.size() < data_at + kFitsDataBytes) return kFitsFailed;
  out.pixels = bytes.data() + data_at;
  out.offset = unsigned_coding ? 0 : 0x8000;
  if (colour && !image_only) {
    const size_t planes_at = data_at + kFitsDataBytes;
    if (bytes.size() < planes_at + 3 * static_cast<size_t>(kPlaneFileBytes)) return kFitsFailed;
    out.planes = bytes.data() + planes_at;
  }
  return kFitsOk;
}

// The longest file a reader needs: a current-header colour file.
constexpr std::uintmax_t kLongestFits = kFitsHeaderBytes + kFitsDataBytes + 3ull * kPlaneFileBytes;

}  // namespace

int WriteFitsFile(const std::filesystem::path& file, const Frame& image, const ImageStore& store,
                  const FitsHeader& fits, bool colour) {
  const std::vector<Card> cards = HeaderCards(fits, store.History);
  std::vector<uint8_t> data(kFitsDataBytes);
  const uint16_t offset = fits.fits_unsigned ? 0 : 0x8000;
  for (int i = 0; i < kFramePixels; ++i) {
    const uint16_t v = image[i] ^ offset;
    data[2 * i] = static_cast<uint8_t>(v >> 8);
    data[2 * i + 1] = static_cast<uint8_t>(v & 0xFF);
  }
  AtomicFile out(file);
  if (!out.Open()) return kFitsFailed;
  for (const Card& card : cards) {
    if (!out.Write(card.data(), card.size())) return kFitsFailed;
  }
  if (!out.Write(data.data(), data.size())) return kFitsFailed;
  if (colour) {
    for (const Plane* plane : {&store.RedPlane, &store.GreenPlane, &store.BluePlane}) {
      if (!out.Write(plane->data(), kPlaneFileBytes)) return kFitsFailed;
    }
  } else {
    const std::array<char, 320> tail = [] {
      std::array<char, 320> t;
      t.fill(' ');
      return t;
    }();
    if (!out.Write(tail.data(), tail.size())) return kFitsFailed;
  }
  return out.Commit() ? kFitsOk : kFitsFailed;
}

int ReadFitsFile(const std::filesystem::path& file, Frame& image, ImageStore& store, FitsHeader& fits,
                 bool colour, FitsHeaderKind kind) {
  const FileBytes in = ReadFileBytes(file, kLongestFits);
  if (!in.opened) return kFitsFailed;
  return DecodeFitsBytes(in.bytes, image, store, fits, colour, kind);
}

int DecodeFitsBytes(std::span<const uint8_t> bytes, Frame& image, ImageStore& store, FitsHeader& fits,
                    bool colour, FitsHeaderKind kind) {
  FitsContents contents;
  contents.fits = fits;
  const int result = DecodeFits(bytes, kind, colour, false, contents);
  if (result != kFitsOk) return result;
  DecodePixels(contents.pixels, contents.offset, image);
  if (colour) {
    std::copy_n(contents.planes, kPlaneFileBytes, store.RedPlane.begin());
    std::copy_n(contents.planes + kPlaneFileBytes, kPlaneFileBytes, store.GreenPlane.begin());
    std::copy_n(contents.planes + 2 * kPlaneFileBytes, kPlaneFileBytes, store.BluePlane.begin());
  }
  store.History = contents.history;
  fits = std::move(contents.fits);
  return kFitsOk;
}

int ReadFitsImageOnly(const std::filesystem::path& file, Frame& image) {
  const FileBytes in = ReadFileBytes(file, kLongestFits);
  if (!in.opened) return kFitsFailed;
  return DecodeFitsImageOnly(in.bytes, image);
}

int DecodeFitsImageOnly(std::span<const uint8_t> bytes, Frame& image) {
  FitsContents contents;
  const int result = DecodeFits(bytes, FitsHeaderKind::Current, false, true, contents);
  if (result != kFitsOk) return result;
  DecodePixels(contents.pixels, contents.offset, image);
  return kFitsOk;
}

}  // namespace nyxel
