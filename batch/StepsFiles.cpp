// The File steps: open, save, save-fits, save-tiff, save-flat, export-fits, quick-save, fits; and undo,
// history.
#include <ctime>
#include <functional>

#include "batch/BatchStep.h"
#include "files/FileCommands.h"
#include "processing/UndoHistory.h"

namespace nyxel::batch {
namespace {

int Save(StepContext& c, SaveMode mode, const std::string& path) {
  if (SaveImageFile(c.session, mode, path) == 0) return kStepOk;
  // The window shows nothing for a failed flat field; a batch run must still say why it stopped.
  if (mode == SaveMode::FlatField) c.session.host.MessageBox("Cannot write " + path, "Nyxel");
  return kStepFailed;
}

const RegisterStep kOpen{{"open", 1, "PATH", [](StepContext& c, const Args& a) {
                            return OpenImageFile(c.session, a[0]) == 0 ? kStepOk : kStepFailed;
                          }}};

const RegisterStep kSave{
    {"save", 1, "PATH", [](StepContext& c, const Args& a) { return Save(c, SaveMode::Native, a[0]); }}};

// As "Save as FITS" with the details dialog accepted unchanged: a short date becomes today's first.
const RegisterStep kSaveFits{{"save-fits", 1, "PATH", [](StepContext& c, const Args& a) {
                                ApplySaveFitsDate(c.session.settings.fits, std::time(nullptr));
                                return Save(c, SaveMode::Fits, a[0]);
                              }}};

const RegisterStep kSaveTiff{
    {"save-tiff", 1, "PATH", [](StepContext& c, const Args& a) { return Save(c, SaveMode::Tiff, a[0]); }}};

const RegisterStep kSaveFlat{{"save-flat", 1, "PATH", [](StepContext& c, const Args& a) {
                                return Save(c, SaveMode::FlatField, a[0]);
                              }}};

// File > Export Standard FITS: the picture for other astronomy tools, with the current header values.
const RegisterStep kExportFits{{"export-fits", 1, "PATH", [](StepContext& c, const Args& a) {
                                  return ExportStandardFits(c.session, a[0]) == 0 ? kStepOk : kStepFailed;
                                }}};

const RegisterStep kQuickSave{{"quick-save", 0, "", [](StepContext& c, const Args&) {
                                 std::filesystem::path written;
                                 const int result = QuickSave(c.session, &written);
                                 if (!written.empty()) c.out << written.string() << '\n';
                                 return result == kAutosaveOk ? kStepOk : kStepFailed;
                               }}};

// The FITS details dialog's fields, with the lengths its edits accept.
bool SetFitsValue(FitsHeader& f, const std::string& key, const std::string& value) {
  struct Text {
    const char* key;
    std::string FitsHeader::*field;
    size_t limit;
  };
  static const Text kTexts[] = {
      {"object", &FitsHeader::fits_object, 67},         {"telescope", &FitsHeader::fits_telescope, 67},
      {"instrument", &FitsHeader::fits_instrument, 67}, {"observer", &FitsHeader::fits_observer, 67},
      {"origin", &FitsHeader::fits_origin, 67},         {"date-obs", &FitsHeader::fits_date_obs, 10},
      {"time-obs", &FitsHeader::fits_time_obs, 11},     {"history", &FitsHeader::fits_history_text, 254},
      {"comment", &FitsHeader::fits_comment_text, 254}, {"filter", &FitsHeader::fits_filter, 67},
  };
  for (const Text& t : kTexts) {
    if (key == t.key) {
      f.*t.field = value.substr(0, t.limit);
      return true;
    }
  }
  struct Number {
    const char* key;
    double FitsHeader::*field;
  };
  static const Number kNumbers[] = {{"exposure", &FitsHeader::fits_exposure},
                                    {"focal-length", &FitsHeader::fits_focal_length},
                                    {"aperture", &FitsHeader::fits_aperture},
                                    {"pixel-width", &FitsHeader::fits_pixel_width},
                                    {"pixel-height", &FitsHeader::fits_pixel_height}};
  for (const Number& n : kNumbers) {
    if (key == n.key) return ParseDouble(value, f.*n.field);
  }
  if (key == "unsigned") {
    bool on = false;
    long v = 0;
    if (ParseOnOff(value, on)) {
      f.fits_unsigned = on;
    } else if (ParseInt(value, 0, 1, v)) {
      f.fits_unsigned = static_cast<int>(v);
    } else {
      return false;
    }
    return true;
  }
  return false;
}

const RegisterStep kFits{{"fits", 2, "KEY VALUE", [](StepContext& c, const Args& a) {
                            return SetFitsValue(c.session.settings.fits, a[0], a[1]) ? kStepOk : kStepUsage;
                          }}};

const RegisterStep kUndo{{"undo", 0, "", [](StepContext& c, const Args&) {
                            UndoLastFilter(c.session);
                            return kStepOk;
                          }}};

const RegisterStep kHistory{{"history", 0, "", [](StepContext& c, const Args&) {
                               c.out << HistoryText(c.session.store.History);
                               return kStepOk;
                             }}};

}  // namespace
}  // namespace nyxel::batch
