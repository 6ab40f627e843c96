#pragma once
// Every persistent setting, under its own name, with the built-in defaults used when no file exists.
#include <array>
#include <cstdint>
#include <string>

#include "files/FitsHeader.h"

namespace nyxel {

struct Settings {
  uint16_t autosave_counter = 0;
  int16_t ut_offset_hours = 0;
  bool light_pollution_correction = false;
  bool line_offset = false;
  bool pixel_offset = true;
  bool fast_par = false;
  int16_t reserved_choice_a = 0;
  int16_t guide_mask_radius = 8;
  bool anti_alias = true;
  bool weak_stretch = false;
  bool strong_stretch = false;
  bool ir_filter_used = false;
  uint16_t saturation_factor = 2;
  int16_t reserved_choice_b = 1;
  char background_colour = 'l';
  bool focus_delay = true;
  bool user_stretch = false;
  int16_t user_stretch_value = 4;
  bool high_pass = false;
  bool unsharp_mask = false;
  uint16_t unsharp_diameter = 3;
  uint16_t unsharp_power = 1;
  bool remove_background = false;
  bool disable_interrupts = true;
  bool fast_par_extended = false;
  // fits_object, fits_telescope, fits_instrument, fits_observer, fits_origin, fits_history_text and
  // fits_comment_text are stored in the file between these two; they live in `fits` below.
  bool alt_colour_coefficients = true;
  int16_t com_port = 1;
  int16_t guide_training_time = 1;
  int16_t ra_pixels_per_sec = 6;
  int16_t dec_pixels_per_sec = 6;
  int16_t ra_backlash = 0;
  int16_t dec_backlash = 0;
  bool ignore_small_drift = false;
  char guide_interface = 'n';
  int16_t ra_hysteresis = 0;
  int16_t dec_hysteresis = 0;
  std::array<char, 4> drive_directions = {'n', 's', 'e', 'w'};
  bool beep_after_exposure = false;
  bool direction_change_delay = true;
  bool telescope_link_open = false;
  std::string autosave_subdir;
  bool dedicated_com_port = true;
  bool debug_mode = false;

  // The FITS header values. They are the same values the FITS files carry, so they live once, here.
  FitsHeader fits;

  // Derived, not stored in the file.
  std::string autosave_dir = "c:\\AUTOSAVE";
  uint8_t background_red = 192, background_green = 192, background_blue = 192;
  bool background_changed = false;  // the window makes a new brush on its next erase
};

}  // namespace nyxel
