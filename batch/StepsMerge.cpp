// The Merge menu's steps: subtract-dark, flat-field and merge.
#include "batch/BatchStep.h"
#include "files/RawFile.h"
#include "processing/DarkFlatMerge.h"

namespace nyxel::batch {
namespace {

int Combine(StepContext& c, char mode, const std::string& path) {
  if (CombineWithFile(c.session, mode, path) != 0) return kStepFailed;
  c.session.Refresh();
  return kStepOk;
}

const RegisterStep kSubtractDark{{"subtract-dark", 1, "PATH", [](StepContext& c, const Args& a) {
                                    return Combine(c, kCombineDark, a[0]);
                                  }}};

const RegisterStep kFlatField{
    {"flat-field", 1, "PATH", [](StepContext& c, const Args& a) { return Combine(c, kCombineFlat, a[0]); }}};

// As in the window: menu 111, a click on the first image, File/Open of the image to merge, a click on
// it, the dialog's "Merge". A click outside the allowed area is ignored as the window ignores it.
const RegisterStep kMerge{
    {"merge", 6, "PATH X1 Y1 X2 Y2 MODE", [](StepContext& c, const Args& a) {
       long x1 = 0, y1 = 0, x2 = 0, y2 = 0;
       if (!ParseInt(a[1], 0, kFrameWidth - 1, x1) || !ParseInt(a[2], 0, kFrameHeight - 1, y1) ||
           !ParseInt(a[3], 0, kFrameWidth - 1, x2) || !ParseInt(a[4], 0, kFrameHeight - 1, y2)) {
         return kStepUsage;
       }
       const std::string& mode = a[5];
       if (mode != "add" && mode != "average" && mode != "add-centre" && mode != "average-centre") {
         return kStepUsage;
       }
       Session& s = c.session;
       ImageStore& store = s.store;
       if (!StartMerge(store, s.host)) return kStepFailed;
       store.MergeAverage = mode.starts_with("average");
       store.MergeCentreOnStar = mode.ends_with("-centre");
       const int radius = s.settings.guide_mask_radius;
       int moved_x = 0, moved_y = 0;
       MarkMergePoint(store, s.host, static_cast<int>(x1), static_cast<int>(y1), radius, moved_x, moved_y);
       OpenMergeImage(store);
       if (LoadImageFile(store, s.settings.fits, s.host, a[0]) != 0) {
         CancelMerge(store);
         s.Refresh();
         return kStepFailed;
       }
       SaveUndo(store);
       MarkMergePoint(store, s.host, static_cast<int>(x2), static_cast<int>(y2), radius, moved_x, moved_y);
       PressMerge(store);
       s.Refresh();
       return kStepOk;
     }}};

}  // namespace
}  // namespace nyxel::batch
