// The settings step: setting NAME VALUE sets one setting by its own name and saves the settings file.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>

#include "batch/BatchStep.h"
#include "core/Messages.h"
#include "files/SettingsFile.h"

namespace nyxel::batch {
namespace {

constexpr int kMessageSaveFailed = 21;
constexpr size_t kTextCardLimit = 68;
constexpr size_t kSplitTextLimit = 255;

// Takes the value text into the setting; false (setting untouched) when the value is not allowed.
using Setter = std::function<bool(Settings&, const std::string&)>;

Setter YesNo(bool Settings::*field) {
  return [field](Settings& s, const std::string& v) {
    if (v != "y" && v != "n") return false;
    s.*field = v == "y";
    return true;
  };
}

// The fields stored as '1' or '0' take y/n like the others, or the digit itself.
Setter OneZero(bool Settings::*field) {
  return [field](Settings& s, const std::string& v) {
    if (v != "y" && v != "n" && v != "1" && v != "0") return false;
    s.*field = v == "y" || v == "1";
    return true;
  };
}

template <typename T>
Setter Number(T Settings::*field, long lo = std::numeric_limits<T>::min(),
              long hi = std::numeric_limits<T>::max()) {
  return [field, lo, hi](Settings& s, const std::string& v) {
    long n = 0;
    if (!ParseInt(v, lo, hi, n)) return false;
    s.*field = static_cast<T>(n);
    return true;
  };
}

Setter OneOf(int16_t Settings::*field, std::vector<long> allowed) {
  return [field, allowed](Settings& s, const std::string& v) {
    long n = 0;
    if (!ParseInt(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(), n) ||
        std::find(allowed.begin(), allowed.end(), n) == allowed.end()) {
      return false;
    }
    s.*field = static_cast<int16_t>(n);
    return true;
  };
}

Setter Text(std::string FitsHeader::*field, size_t limit) {
  return [field, limit](Settings& s, const std::string& v) {
    if (v.size() > limit) return false;
    s.fits.*field = v;
    return true;
  };
}

const std::map<std::string, Setter>& Setters() {
  static const std::map<std::string, Setter> kSetters = {
      {"autosave_counter", Number(&Settings::autosave_counter)},
      {"ut_offset_hours", Number(&Settings::ut_offset_hours, -11, 11)},
      {"light_pollution_correction", YesNo(&Settings::light_pollution_correction)},
      {"line_offset", YesNo(&Settings::line_offset)},
      {"pixel_offset", YesNo(&Settings::pixel_offset)},
      {"fast_par", YesNo(&Settings::fast_par)},
      {"reserved_choice_a", Number(&Settings::reserved_choice_a, 0, 3)},
      {"guide_mask_radius", OneOf(&Settings::guide_mask_radius, {7, 8, 9, 11, 13, 15})},
      {"anti_alias", YesNo(&Settings::anti_alias)},
      {"weak_stretch", YesNo(&Settings::weak_stretch)},
      {"strong_stretch", YesNo(&Settings::strong_stretch)},
      {"ir_filter_used", YesNo(&Settings::ir_filter_used)},
      {"saturation_factor", Number(&Settings::saturation_factor, 1, 9)},
      {"reserved_choice_b", Number(&Settings::reserved_choice_b, 1, 3)},
      {"background_colour",
       [](Settings& s, const std::string& v) { return v.size() == 1 && SetBackgroundColour(s, v[0]); }},
      {"focus_delay", OneZero(&Settings::focus_delay)},
      {"user_stretch", YesNo(&Settings::user_stretch)},
      {"user_stretch_value", Number(&Settings::user_stretch_value, 1, 36)},
      {"high_pass", YesNo(&Settings::high_pass)},
      {"unsharp_mask", YesNo(&Settings::unsharp_mask)},
      {"unsharp_diameter", Number(&Settings::unsharp_diameter, 1, 6)},
      {"unsharp_power", Number(&Settings::unsharp_power, 1, 6)},
      {"remove_background", YesNo(&Settings::remove_background)},
      {"disable_interrupts", YesNo(&Settings::disable_interrupts)},
      {"fast_par_extended", YesNo(&Settings::fast_par_extended)},
      {"fits_object", Text(&FitsHeader::fits_object, kTextCardLimit)},
      {"fits_telescope", Text(&FitsHeader::fits_telescope, kTextCardLimit)},
      {"fits_instrument", Text(&FitsHeader::fits_instrument, kTextCardLimit)},
      {"fits_observer", Text(&FitsHeader::fits_observer, kTextCardLimit)},
      {"fits_origin", Text(&FitsHeader::fits_origin, kTextCardLimit)},
      {"fits_history_text", Text(&FitsHeader::fits_history_text, kSplitTextLimit)},
      {"fits_comment_text", Text(&FitsHeader::fits_comment_text, kSplitTextLimit)},
      {"alt_colour_coefficients", YesNo(&Settings::alt_colour_coefficients)},
      {"com_port", Number(&Settings::com_port, 1, 2)},
      {"guide_training_time", OneOf(&Settings::guide_training_time, {1, 2, 4})},
      {"ra_pixels_per_sec", Number(&Settings::ra_pixels_per_sec)},
      {"dec_pixels_per_sec", Number(&Settings::dec_pixels_per_sec)},
      {"ra_backlash", Number(&Settings::ra_backlash, 0, 20)},
      {"dec_backlash", Number(&Settings::dec_backlash, 0, 20)},
      {"ignore_small_drift", OneZero(&Settings::ignore_small_drift)},
      {"guide_interface",
       [](Settings& s, const std::string& v) {
         if (v != "n" && v != "l" && v != "b") return false;
         s.guide_interface = v[0];
         return true;
       }},
      {"ra_hysteresis", Number(&Settings::ra_hysteresis, 0, 20)},
      {"dec_hysteresis", Number(&Settings::dec_hysteresis, 0, 20)},
      {"drive_directions",
       [](Settings& s, const std::string& v) {
         if (v.size() != 4) return false;
         const std::string ns = v.substr(0, 2), ew = v.substr(2);
         if ((ns != "ns" && ns != "sn") || (ew != "ew" && ew != "we")) return false;
         std::copy(v.begin(), v.end(), s.drive_directions.begin());
         return true;
       }},
      {"beep_after_exposure", YesNo(&Settings::beep_after_exposure)},
      {"direction_change_delay", YesNo(&Settings::direction_change_delay)},
      {"telescope_link_open", YesNo(&Settings::telescope_link_open)},
      {"autosave_subdir",
       [](Settings& s, const std::string& v) {
         // A quote or zero byte would end the name when the file is read back.
         if (v.size() > kAutosaveSubdirLimit || v.find_first_of(std::string("'\0", 2)) != std::string::npos ||
             !AutosaveSubdirInside(v)) {
           return false;
         }
         SetAutosaveSubdir(s, v);
         return true;
       }},
      {"dedicated_com_port", YesNo(&Settings::dedicated_com_port)},
      {"debug_mode", YesNo(&Settings::debug_mode)},
  };
  return kSetters;
}

const RegisterStep kSetting{{"setting", 2, "NAME VALUE", [](StepContext& c, const Args& a) {
                               const auto it = Setters().find(a[0]);
                               if (it == Setters().end() || !it->second(c.session.settings, a[1]))
                                 return kStepUsage;
                               if (SaveSettings(c.session.settings, c.session.drive) != 0) {
                                 ShowMessage(c.session.host, kMessageSaveFailed);
                                 return kStepFailed;
                               }
                               return kStepOk;
                             }}};

}  // namespace
}  // namespace nyxel::batch
