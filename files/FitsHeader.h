#pragma once
// The FITS header values kept in memory and written into every FITS file.
#include <string>

namespace nyxel {

struct FitsHeader {
  std::string fits_object;
  std::string fits_telescope;
  std::string fits_instrument = "Halvorn CCD";
  std::string fits_observer;
  std::string fits_origin;
  std::string fits_date_obs;
  std::string fits_time_obs;
  std::string fits_history_text;
  std::string fits_comment_text;
  double fits_pixel_width = 0.0098;
  double fits_pixel_height = 0.0126;
  double fits_exposure = 0;
  double fits_focal_length = 0;
  double fits_aperture = 0;
  std::string fits_filter = "None";
  int fits_unsigned = 0;  // not stored in the settings file; 0 at every start
};

}  // namespace nyxel
