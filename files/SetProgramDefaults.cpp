#include "files/SetProgramDefaults.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

#include "core/Messages.h"
#include "files/SettingsFile.h"

namespace nyxel {
namespace {

using SPD = SetProgramDefaults;
using Kind = DialogControlKind;

constexpr std::string_view kCameraOffsets = "Camera Offsets";
constexpr std::string_view kMaskRadius = "Radius of Guide Star Mask";
constexpr std::string_view kBackground = "Background Colour";
constexpr std::string_view kGuiding = "Telescope Guiding";
constexpr std::string_view kCommPort = "Comm Port";
constexpr std::string_view kTraining = "Default Guide Training Time";
constexpr std::string_view kFitsDefaults = "FITs Defaults";

constexpr int kMessageLoadFailed = 20;
constexpr int kMessageSaveFailed = 21;

constexpr std::array<int, 6> kMaskIds = {SPD::kMask7,  SPD::kMask8,  SPD::kMask9,
                                         SPD::kMask11, SPD::kMask13, SPD::kMask15};
constexpr std::array<int16_t, 6> kMaskRadii = {7, 8, 9, 11, 13, 15};

int EditIndex(int id) {
  return id >= SPD::kRaPixelsPerSec && id <= SPD::kDecHysteresis ? id - SPD::kRaPixelsPerSec : -1;
}

// The six number edits' settings, in id order.
std::array<int16_t*, 6> EditFields(Settings& s) {
  return {&s.ra_pixels_per_sec, &s.dec_pixels_per_sec, &s.ra_backlash,
          &s.dec_backlash,      &s.ra_hysteresis,      &s.dec_hysteresis};
}

// A whole signed number that fits the 2-byte field, blanks around it allowed.
bool ParseEdit(std::string_view text, int16_t& value) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return false;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) return false;
  value = static_cast<int16_t>(v);
  return true;
}

}  // namespace

const std::vector<DialogControl>& SetProgramDefaults::Controls() {
  static const std::vector<DialogControl> kControls = {
      {kPixelOffset, Kind::Check, "Pixel Offset", kCameraOffsets},
      {kLineOffset, Kind::Check, "Line Offset", kCameraOffsets},
      {kMask7, Kind::Radio, "7 Pixels", kMaskRadius},
      {kMask8, Kind::Radio, "8 Pixels", kMaskRadius},
      {kMask9, Kind::Radio, "9 Pixels", kMaskRadius},
      {kMask11, Kind::Radio, "11 Pixels", kMaskRadius},
      {kMask13, Kind::Radio, "13 Pixels", kMaskRadius},
      {kMask15, Kind::Radio, "15 Pixels", kMaskRadius},
      {kRed, Kind::Radio, "Red", kBackground},
      {kLtGray, Kind::Radio, "Lt Gray", kBackground},
      {kGray, Kind::Radio, "Gray", kBackground},
      {kGuideNone, Kind::Radio, "None", kGuiding},
      {kGuideLx200, Kind::Radio, "Meade LX200 (Tm)", kGuiding},
      {kGuideControlBox, Kind::Radio, "Via Control Box", kGuiding},
      {kSharedComPort, Kind::Radio, "Shared Com Port", kCommPort},
      {kComPort1, Kind::Radio, "Use Com Port1", kCommPort},
      {kComPort2, Kind::Radio, "Use Com Port 2", kCommPort},
      {kTraining1, Kind::Radio, "1 Sec", kTraining},
      {kTraining2, Kind::Radio, "2 Sec", kTraining},
      {kTraining4, Kind::Radio, "4 Sec", kTraining},
      {kRaPixelsPerSec, Kind::Edit, "RA pixels per sec", ""},
      {kDecPixelsPerSec, Kind::Edit, "Dec pixels per sec", ""},
      {kRaBacklash, Kind::Edit, "RA Backlash", ""},
      {kDecBacklash, Kind::Edit, "Dec Backlash", ""},
      {kRaHysteresis, Kind::Edit, "Hysteresis in RA (0-10)", ""},
      {kDecHysteresis, Kind::Edit, "Hysteresis in Dec (0-20)", ""},
      {kSetSlewValues, Kind::Button, "Set Slew Values", ""},
      {kIgnoreDrift, Kind::Check, "Ignore drift < 1 pixel", ""},
      {kDirectionDelay, Kind::Check, "70ms delay between\ndirection changes", ""},
      {kSwapNorthSouth, Kind::Check, "Swap n/s direction", ""},
      {kSwapEastWest, Kind::Check, "Swap e/w direction", ""},
      {kFocusDelay, Kind::Check, "1 sec delay when focussing", ""},
      {kDisableInterrupts, Kind::Check, "Disable Interrupts during download", ""},
      {kBeepAfterExposure, Kind::Check, "Beep after Exposure ends", ""},
      {kDebugMode, Kind::Check, "Debug Mode", ""},
      {kUnsignedFormat, Kind::Check, "Unsigned Integer Format", kFitsDefaults},
      {kSubdirName, Kind::Edit, "Sub-dir Name", kFitsDefaults},
      {kSetSubdir, Kind::Button, "Set Sub-Dir", kFitsDefaults},
      {kSaveChanges, Kind::Button, "Save Changes", ""},
      {kCancel, Kind::Button, "Cancel", ""},
  };
  return kControls;
}

const std::vector<std::string_view>& SetProgramDefaults::Groups() {
  static const std::vector<std::string_view> kGroups = {kCameraOffsets, kMaskRadius, kBackground,  kGuiding,
                                                        kCommPort,      kTraining,   kFitsDefaults};
  return kGroups;
}

int SetProgramDefaults::LoadBeforeOpening(Settings& s, const Drive& drive, Host& host) {
  const int result = LoadSettings(s, drive, host);
  if (result != 0) ShowMessage(host, kMessageLoadFailed);
  return result;
}

SetProgramDefaults::SetProgramDefaults(Settings& s) : s_(s) {
  Refresh();
}

void SetProgramDefaults::Refresh() {
  const auto fields = EditFields(s_);
  for (size_t i = 0; i < fields.size(); ++i) number_edits_[i] = std::to_string(*fields[i]);
  subdir_edit_ = s_.autosave_subdir;
}

void SetProgramDefaults::ReadEdits() {
  const auto fields = EditFields(s_);
  for (size_t i = 0; i < fields.size(); ++i) {
    int16_t v = 0;
    if (ParseEdit(number_edits_[i], v)) *fields[i] = v;
  }
  s_.ra_hysteresis = std::min<int16_t>(s_.ra_hysteresis, kHysteresisLimit);
  s_.dec_hysteresis = std::min<int16_t>(s_.dec_hysteresis, kHysteresisLimit);
  for (size_t i = 0; i < fields.size(); ++i) number_edits_[i] = std::to_string(*fields[i]);
}

void SetProgramDefaults::Click(int id) {
  const bool reads_edits =
      id != kDebugMode && id != kBeepAfterExposure && id != kPixelOffset && id != kLineOffset;
  if (reads_edits) ReadEdits();

  const auto mask = std::find(kMaskIds.begin(), kMaskIds.end(), id);
  if (mask != kMaskIds.end()) {
    s_.guide_mask_radius = kMaskRadii[static_cast<size_t>(mask - kMaskIds.begin())];
    return;
  }
  switch (id) {
    case kPixelOffset:
      s_.pixel_offset = !s_.pixel_offset;
      break;
    case kLineOffset:
      s_.line_offset = !s_.line_offset;
      break;
    case kRed:
      SetBackgroundColour(s_, 'r');
      break;
    case kLtGray:
      SetBackgroundColour(s_, 'l');
      break;
    case kGray:
      SetBackgroundColour(s_, 'g');
      break;
    case kGuideNone:
      s_.guide_interface = 'n';
      s_.dedicated_com_port = true;
      break;
    case kGuideLx200:
      s_.guide_interface = 'l';
      break;
    case kGuideControlBox:
      s_.guide_interface = 'b';
      s_.dedicated_com_port = true;
      break;
    case kSharedComPort:
      s_.dedicated_com_port = false;
      break;
    case kComPort1:
      s_.dedicated_com_port = true;
      s_.com_port = 1;
      break;
    case kComPort2:
      s_.dedicated_com_port = true;
      s_.com_port = 2;
      break;
    case kTraining1:
      s_.guide_training_time = 1;
      break;
    case kTraining2:
      s_.guide_training_time = 2;
      break;
    case kTraining4:
      s_.guide_training_time = 4;
      break;
    case kIgnoreDrift:
      s_.ignore_small_drift = !s_.ignore_small_drift;
      break;
    case kDirectionDelay:
      s_.direction_change_delay = !s_.direction_change_delay;
      break;
    case kFocusDelay:
      s_.focus_delay = !s_.focus_delay;
      break;
    case kDisableInterrupts:
      s_.disable_interrupts = !s_.disable_interrupts;
      break;
    case kBeepAfterExposure:
      s_.beep_after_exposure = !s_.beep_after_exposure;
      break;
    case kDebugMode:
      s_.debug_mode = !s_.debug_mode;
      if (on_debug_mode) on_debug_mode(s_.debug_mode);
      break;
    case kSwapNorthSouth: {
      const bool swapped = s_.drive_directions[0] == 's';
      s_.drive_directions[0] = swapped ? 'n' : 's';
      s_.drive_directions[1] = swapped ? 's' : 'n';
      break;
    }
    case kSwapEastWest: {
      const bool swapped = s_.drive_directions[2] == 'w';
      s_.drive_directions[2] = swapped ? 'e' : 'w';
      s_.drive_directions[3] = swapped ? 'w' : 'e';
      break;
    }
    case kUnsignedFormat:
      s_.fits.fits_unsigned = s_.fits.fits_unsigned ? 0 : 1;
      break;
    case kSetSubdir:
      // A name that leaves the autosave folder is not taken; the edit shows the kept name again.
      if (AutosaveSubdirInside(subdir_edit_)) SetAutosaveSubdir(s_, subdir_edit_);
      subdir_edit_ = s_.autosave_subdir;
      break;
    default:  // Set Slew Values: reading the edits was all
      break;
  }
}

bool SetProgramDefaults::Checked(int id) const {
  const auto mask = std::find(kMaskIds.begin(), kMaskIds.end(), id);
  if (mask != kMaskIds.end()) {
    const auto known = std::find(kMaskRadii.begin(), kMaskRadii.end(), s_.guide_mask_radius);
    // A radius not in the list shows as the last one.
    const size_t shown =
        known == kMaskRadii.end() ? kMaskRadii.size() - 1 : static_cast<size_t>(known - kMaskRadii.begin());
    return static_cast<size_t>(mask - kMaskIds.begin()) == shown;
  }
  const bool known_training =
      s_.guide_training_time == 1 || s_.guide_training_time == 2 || s_.guide_training_time == 4;
  switch (id) {
    case kPixelOffset:
      return s_.pixel_offset;
    case kLineOffset:
      return s_.line_offset;
    case kRed:
      return s_.background_colour == 'r';
    case kLtGray:
      return s_.background_colour == 'l';
    case kGray:
      return s_.background_colour == 'g';
    case kGuideNone:
      return s_.guide_interface == 'n';
    case kGuideLx200:
      return s_.guide_interface == 'l';
    case kGuideControlBox:
      return s_.guide_interface == 'b';
    case kSharedComPort:
      return !s_.dedicated_com_port;
    case kComPort1:
      return s_.dedicated_com_port && s_.com_port == 1;
    case kComPort2:
      return s_.dedicated_com_port && s_.com_port != 1;
    case kTraining1:
      return s_.guide_training_time == 1;
    case kTraining2:
      return s_.guide_training_time == 2;
    case kTraining4:
      return s_.guide_training_time == 4 || !known_training;
    case kIgnoreDrift:
      return s_.ignore_small_drift;
    case kDirectionDelay:
      return s_.direction_change_delay;
    case kFocusDelay:
      return s_.focus_delay;
    case kDisableInterrupts:
      return s_.disable_interrupts;
    case kBeepAfterExposure:
      return s_.beep_after_exposure;
    case kDebugMode:
      return s_.debug_mode;
    case kSwapNorthSouth:
      return s_.drive_directions[0] == 's';
    case kSwapEastWest:
      return s_.drive_directions[2] == 'w';
    case kUnsignedFormat:
      return s_.fits.fits_unsigned != 0;
    default:
      return false;
  }
}

void SetProgramDefaults::SetEditText(int id, std::string_view text) {
  if (id == kSubdirName) {
    // The edit holds at most 69 characters.
    subdir_edit_ = std::string(text.substr(0, kAutosaveSubdirLimit));
    return;
  }
  const int index = EditIndex(id);
  if (index >= 0) number_edits_[static_cast<size_t>(index)] = std::string(text);
}

std::string SetProgramDefaults::EditText(int id) const {
  if (id == kSubdirName) return subdir_edit_;
  const int index = EditIndex(id);
  return index >= 0 ? number_edits_[static_cast<size_t>(index)] : std::string();
}

int SetProgramDefaults::SaveChanges(const Drive& drive, Host& host) {
  ReadEdits();
  const int result = SaveSettings(s_, drive);
  if (result != 0) ShowMessage(host, kMessageSaveFailed);
  return result;
}

}  // namespace nyxel
