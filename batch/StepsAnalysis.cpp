// The inspection and label steps: histogram, values, star-centre, label.
#include <ctime>

#include "batch/BatchStep.h"
#include "processing/Label.h"
#include "processing/PixelValues.h"
#include "processing/StarCentre.h"

namespace nyxel::batch {
namespace {

const RegisterStep kHistogram{{"histogram", 0, "", [](StepContext& c, const Args&) {
                                 const auto& counts = c.session.store.DisplayHistogram;
                                 for (int i = 0; i < 256; ++i) c.out << i << ' ' << counts[i] << '\n';
                                 return kStepOk;
                               }}};

// As a mouse move over the picture with the Pixel Value window open.
const RegisterStep kValues{{"values", 2, "X Y", [](StepContext& c, const Args& a) {
                              long x = 0, y = 0;
                              if (!ParseInt(a[0], -100000, 100000, x) || !ParseInt(a[1], -100000, 100000, y))
                                return kStepUsage;
                              ImageStore& store = c.session.store;
                              const int was_open = store.ValuesDialogOpen;
                              if (OpenPixelValues(store, c.session.host) == kValuesRefused)
                                return kStepFailed;
                              PixelValues v;
                              if (UpdatePixelValues(store, static_cast<int>(x), static_cast<int>(y), v)) {
                                c.out << v.x << ' ' << v.y << ' ' << v.R << ' ' << v.G << ' ' << v.B << ' '
                                      << v.Lum << '\n';
                              }
                              store.ValuesDialogOpen = was_open;
                              return kStepOk;
                            }}};

const RegisterStep kStarCentre{{"star-centre", 3, "X Y R", [](StepContext& c, const Args& a) {
                                  long x = 0, y = 0, r = 0;
                                  if (!ParseInt(a[0], -100000, 100000, x) ||
                                      !ParseInt(a[1], -100000, 100000, y) || !ParseInt(a[2], 0, 1000, r))
                                    return kStepUsage;
                                  const StarSearch search{false, c.session.settings.ignore_small_drift};
                                  StarCentre centre;
                                  if (!FindStarCentre(c.session.store, c.session.host, static_cast<int>(x),
                                                      static_cast<int>(y), c.session.store.CurrentFrame,
                                                      static_cast<int>(r), search, centre))
                                    return kStepFailed;
                                  c.out << centre.column << ' ' << centre.row << ' ' << centre.column_tenths
                                        << ' ' << centre.row_tenths << '\n';
                                  return kStepOk;
                                }}};

const RegisterStep kLabel{{"label", 1, "TEXT", [](StepContext& c, const Args& a) {
                             // The dialog's edit takes no more; a longer text is refused, not cut.
                             if (a[0].size() > static_cast<size_t>(kLabelTextLimit)) return kStepUsage;
                             LabelOptions options;
                             options.text = a[0];
                             const std::tm unused{};
                             DrawLabel(c.session.store,
                                       LabelBanner(options, c.session.settings.fits, unused));
                             c.session.Refresh();
                             return kStepOk;
                           }}};

}  // namespace
}  // namespace nyxel::batch
