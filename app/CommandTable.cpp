#include "app/CommandTable.h"

#include <algorithm>
#include <array>

namespace nyxel {
namespace {

struct HintEntry {
  int id;
  std::string_view text;
};

// The program's string table.
constexpr std::array<HintEntry, 26> kStringTable = {{
    {1, "Adjust the Contrast manually. setting max and min values"},
    {2, "Power Law contrast stretch"},
    {3, "Median Filter - use to reduce electronic noise in image"},
    {12, "Main Camera Control"},
    {17, "Select a file to be used as a dark frame for automatic processing"},
    {103, "Automatically make background black"},
    {106, "Apply an unsharp mask - good for enhancing planetary detail"},
    {110, "Subtract a dark frame from currently displayed image"},
    {111, "Merge current image with one already saved"},
    {114, "Remove colour fringes by applying Anti Alias Filter"},
    {116, "Set colours relative to each other by setting Colour Balance"},
    {117, "Apply a flatfield to the currently displayed image"},
    {118, "Apply a non-linear stretch - good for nebulae"},
    {119, "Adjust colour planes relative to each other"},
    {122, "View and change most program variables"},
    {124, "Show Values of each Pixel, and display colour planes"},
    {127, "Control a LX200 telescope or Autoguider port"},
    {129, "Smooth colour irregularities with a low pass filter"},
    {304, "Toggle between raw format and geomertry corrected display"},
    {1000, "Main RV6K Camera Control"},
    {1001, "AutoGuider Camera Control"},
    {1901, "Use Max Palette Stretch on all Images"},
    {1902, "Only use Max Palette Stretch on Focus Images"},
    {24332, "Get an image from Disk"},
    {24333, "Save Image in Raw data format"},
    {24335, "Save Image as a FITs file"},
}};

// Rows with an empty hint take the string table's; the others are hints of our own.
const std::vector<CommandRow> kRows = {
    {24332, "&File", "&Open...\tCTL+O", "Ctrl+O", 24332, ""},
    {24333, "&File", "&Save...\tCTL+S", "Ctrl+S", 24333, ""},
    {24334, "&File", "Save as &Tiff File...", "", 0, "Save the image as a TIFF file"},
    {24335, "&File", "S&ave as FITS\tCTL+F", "Ctrl+F", 24336, ""},
    {24336, "&File", "Sa&ve as Flatfield", "", 0, "Save the image as a flat field frame"},
    {24337, "&File", "Export Standard FITS...", "", 0,
     "Save the image as a standard FITS file for other astronomy programs"},
    {128, "&File", "&Quick Save as FITs\tCTL+Q", "Ctrl+Q", 0,
     "Save as FITS in the autosave folder with the next number"},
    {13, "&File", "&Delete", "", 0, "Delete a file from disk"},
    {516, "&File", "&Load/Edit AutoSave FITS text", "", 0,
     "Edit the FITS texts written into autosaved images"},
    {17, "&File", "Select Dark &Frame", "", 0, ""},
    {122, "&File", "Set Program Defa&ults", "", 122, ""},
    {12, "&File", "Rv Camera &Interface\tCTL+Z", "Ctrl+Z", 1000, ""},
    {16, "&File", "Pic&k Guide Star\tCTL+P", "Ctrl+P", 0, "Click on a star in the image to guide on"},
    {19, "&File", "Focus Frame Centre\tCTL+W", "Ctrl+W", 0, "Centre the focus frame on a point of the image"},
    {20, "&File", "Default Focus Frame Centre", "", 0, "Put the focus frame back in the centre of the chip"},
    {125, "&File", "Start Auto-Guiding", "", 0, "Guide the telescope on the picked star"},
    {126, "&File", "Train Auto-Guiding", "", 0, "Measure how the telescope moves the guide star"},
    {127, "&File", "Telescope Control", "", 127, ""},
    {120, "&File", "P&rint Setup", "", 0, "Choose the printer and its settings"},
    {121, "&File", "&Print", "", 0, "Print the displayed image"},
    {24310, "&File", "E&xit", "Alt+X;Alt+Shift+X", 0, "Close Nyxel"},
    {9, "&Edit", "&Undo Last Filter\tCTL+U", "Ctrl+U", 0, "Go back to the image before the last filter"},
    {10, "&Edit", "Undo &Last Colour Filter\tCTL+R", "Ctrl+R", 0,
     "Go back to the colours before the last colour filter"},
    {8, "&Edit", "&Label Image", "", 0, "Write a label banner across the top of the image"},
    {301, "&View", "&Fit to window", "", 0, "Stretch the image to fill the window"},
    {304, "&View", "Change to RV &Geometry\tCTL+G", "Ctrl+G", 304, ""},
    {14, "&View", "&Mirror image", "", 0, "Mirror the image left to right"},
    {18, "&View", "&Auto contrast stretch image", "", 0,
     "Stretch the display contrast from the sky background"},
    {21, "&View", "Max Palette Stretch", "", 0, "Choose the bits used by the max palette stretch"},
    {522, "&View", "Processing &History", "", 0, "Show what has been done to the image"},
    {123, "&View", "&Show/Edit Current Image FITS details", "", 0,
     "Show and edit the FITS header texts of this image"},
    {124, "&View", "Show &Values", "", 124, ""},
    {2001, "&View", "Guiding Graph", "", 0, "Plot the guide star's offset and the guide pulses as guiding runs"},
    {115, "&Colour", "&Synthesize Colour Image\tCTL+C", "Ctrl+C", 0,
     "Make a colour picture from the colour mosaic"},
    {116, "&Colour", "Set Colour &Balance\tCTL+B", "Ctrl+B", 116, ""},
    {114, "&Colour", "&Apply Anti-Alias Filter", "", 114, ""},
    {119, "&Colour", "Adjust Chroma&tism", "", 0, ""},
    {129, "&Colour", "Low &Pass Color Filter\tCTL+L", "Ctrl+L", 129, ""},
    {1, "C&ontrast", "&Normal Stretch\tCTL+N", "Ctrl+N", 1, ""},
    {2, "C&ontrast", "&Power Law Stretch", "", 2, ""},
    {101, "C&ontrast", "&Sine Law Stretch", "", 0, "Sine law contrast stretch"},
    {103, "C&ontrast", "&Remove Background", "", 103, ""},
    {118, "C&ontrast", "N&on-Linear Stretch", "", 118, ""},
    {102, "C&ontrast", "&Logarithmic Stretch", "", 0,
     "Logarithmic contrast stretch - brings up faint detail"},
    {104, "C&ontrast", "&Antilogarithmic Stretch", "", 0,
     "Antilogarithmic contrast stretch - brings out bright detail"},
    {105, "C&ontrast", "&Invert image to Negative", "", 0, "Make a negative of the image"},
    {106, "Filter&s ", "&Unsharp masking HPF", "", 106, ""},
    {107, "Filter&s ", "&High Pass, Low Power", "", 0, "Gentle high pass sharpening filter"},
    {108, "Filter&s ", "High Pass, High &Power", "", 0, "Strong high pass sharpening filter"},
    {109, "Filter&s ", "&Smoother/Sharper Filter", "", 0, "Smooth or sharpen the image"},
    {3, "Filter&s ", "&Median Filter - Noise Reduction", "", 3, ""},
    {4, "Filter&s ", "&Gaussian Smoother Filter", "", 0, "Smooth the image with a Gaussian kernel"},
    {5, "Filter&s ", "Low Pass &Weighted Mean &Smoother", "", 0, "Smooth the image with a weighted mean"},
    {7, "Filter&s ", "&Bas Relief Generator", "", 0, "Make a bas relief of the image"},
    {15, "Filter&s ", "Gradient &Filter", "", 0, "Remove a brightness gradient across the image"},
    {110, "&Merge", "&Subtract Images (Dark Frame)", "", 110, ""},
    {117, "&Merge", "&Apply Flat Field", "", 117, ""},
    {111, "&Merge", "&Merge two images together", "", 111, ""},
    {6, kTopLevel, "&Histogram", "Ctrl+H", 0, "Show the histogram of the image"},
    {112, "Help", "Help in using Nyxel", "", 0, "Open the help pages"},
    {113, "Help", "About Nyxel", "", 0, "Version and date of this program"},
    {1901, "", "Use Max Palette Stretch on all Images", "", 1002, ""},
    {1902, "", "Only use Max Palette Stretch on Focus Images", "", 1003, ""},
    {24323, "", "Copy", "", 0, "Copy the picture to the clipboard"},
    // Internal commands the long operations send to the window.
    {888, "", "Item", "", 0, ""},
    {889, "", "Item", "", 0, ""},
    {890, "", "Item", "", 0, ""},
    {891, "", "Item", "", 0, ""},
    {892, "", "Item", "", 0, ""},
};

std::vector<CommandRow> WithHints() {
  std::vector<CommandRow> rows = kRows;
  for (auto& row : rows) {
    if (row.hint.empty()) row.hint = HintString(row.id);
  }
  return rows;
}

}  // namespace

std::string_view HintString(int id) {
  const auto it =
      std::find_if(kStringTable.begin(), kStringTable.end(), [id](const HintEntry& e) { return e.id == id; });
  return it == kStringTable.end() ? std::string_view{} : it->text;
}

const std::vector<CommandRow>& CommandTable() {
  static const std::vector<CommandRow> rows = WithHints();
  return rows;
}

const CommandRow* FindCommandRow(int id) {
  const auto& rows = CommandTable();
  const auto it = std::find_if(rows.begin(), rows.end(), [id](const CommandRow& r) { return r.id == id; });
  return it == rows.end() ? nullptr : &*it;
}

const std::vector<std::string_view>& MenuOrder() {
  static const std::vector<std::string_view> order = {
      "&File", "&Edit", "&View", "&Colour", "C&ontrast", "Filter&s ", "&Merge", kTopLevel, "Help"};
  return order;
}

std::vector<int> ControlBarLayout(bool colour, bool telescope) {
  std::vector<int> bar = {24333, 24335, 24332, kSeparator, kCameraCommand, kSeparator};
  if (colour) {
    bar.push_back(kGeometryCommand);
  } else {
    bar.push_back(kMaxStretchAllCommand);
    bar.push_back(kFocusOnlyCommand);
  }
  for (int id : {kSeparator, 122, kSeparator, 124, 116, 114, 129, kSeparator, 1, 118, 2, 103, 106, 3,
                 kSeparator, 110, 117, 111}) {
    bar.push_back(id);
  }
  if (telescope) bar.push_back(kTelescopeCommand);
  return bar;
}

}  // namespace nyxel
