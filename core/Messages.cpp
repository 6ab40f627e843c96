#include "core/Messages.h"

#include <algorithm>
#include <array>

namespace nyxel {
namespace {

struct Entry {
  int number;
  std::string_view text;
};

// Texts exactly as the user sees them. Duplicates are separate entries: each caller has its own number.
constexpr std::array<Entry, 45> kTable = {{
    {1, "Sorry, Values only available in standard Geometry. Ensure Image is not stretched to fit window "
        "or in RV geometry."},
    {2, "Sorry, outside Image area - try again"},
    {3, "RV Interface not found.\n\nPort set to default.\n\nIf you have a QK Camera make sure all the cables "
        "are plugged in and it is switched on. "},
    {4, "Sorry. Guide star lost.\n\nStar may have moved more than 10 pixels, or has different intensity to "
        "previous reading (+/-5%)"},
    {5, "Sorry. Cannot find suitable guide star\n\nStar must be at least +/-5% of next brightest."},
    {6, "Unable to create file, check disk space"},
    {7, "Image not Colour Converted"},
    {8, "Failed to create temp bitmap"},
    {9, "Unable to create temp bitmap file header"},
    {10, "Unable to create temp bitmap file"},
    {11, "Failed to Open RV File"},
    {12, "You didn't choose a valid RV File"},
    {13, "Unable to load FITS file"},
    {14, "Unable to load FITS file, File was not saved by this program"},
    {15, "Unable to load FITS file, File was not saved by this program"},
    {16, "Sorry, you didn't choose an RV File"},
    {17, "Failed to Save RV File"},
    {18, "Unable to create/overwrite RV File"},
    {19, "Unable to create/overwrite RV File"},
    {20, "Unable to load INI file, please delete and try again"},
    {21, "Unable to save INI file, please check disk space"},
    {22, "Already Colour Converted"},
    {23, "Unable to load INI file, please delete and try again"},
    {24, "Unable to save INI file, please check disk space"},
    {25, "Image not Colour Converted"},
    {26, "Image not Colour Converted"},
    {27, "Unable to load INI file, please delete and try again"},
    {28, "Unable to save INI file, please check disk space"},
    {29, "Unable to create file, check disk space"},
    {30, "Sorry, Merging only available in standard Geometry. Ensure Image is not stretched to fit window "
         "or in RV geometry."},
    {31, "Sorry, you are already in Merging mode."},
    {32, "Cannot open bitmap file"},
    {33, "Summing stopped: the reference star was lost."},
    {34, "Sorry, no reference star found for summing."},
    {35, "Sorry, Guide star picking only available in standard Geometry. Ensure Image is not stretched to "
         "fit window or in RV geometry."},
    {51, "Guiding Terminated"},
    {52, "Sorry! Mk 2 Controlbox not present. Self-guiding not available"},
    {53, "You must first take an image and pick a star"},
    {54, "Communication with telescope failed"},
    {57, "Selfguiding interrupted or failed"},
    // Entries without a text.
    {36, ""},
    {55, ""},
    {56, ""},
    {58, ""},
    {0, ""},
}};

}  // namespace

std::string MessageText(int number, std::string_view text) {
  // The text is assembled in a zero-filled 500-byte buffer, so whatever follows a zero byte is lost.
  std::array<char, kMessageBufferBytes> buffer{};
  std::string_view source;
  size_t limit = kMessageBufferBytes - 1;
  if (number == kOwnTextMessage) {
    source = text;
    limit = kOwnTextLimit;
  } else {
    for (const Entry& e : kTable) {
      if (e.number == number) source = e.text;
    }
  }
  std::copy_n(source.begin(), std::min(source.size(), limit), buffer.begin());
  return std::string(buffer.data());
}

int ShowMessage(Host& host, int number, std::string_view text) {
  return host.MessageBox(MessageText(number, text), kMessageCaption, MessageIcon::None, MessageButtons::Ok);
}

}  // namespace nyxel
