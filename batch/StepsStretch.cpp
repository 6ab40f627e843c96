// The Contrast menu's stretches as steps: normal-stretch, power-stretch, non-linear-stretch, sine-stretch,
// remove-background, log-stretch, antilog-stretch, invert.
#include <cmath>

#include "batch/BatchStep.h"
#include "processing/Stretch.h"

namespace nyxel::batch {
namespace {

// Builds, applies, notes and refreshes as the menu command does; a refused stretch changes nothing and
// leaves the picture as it is.
template <class Run>
int Stretch(StepContext& c, Run run) {
  StretchTable table;
  if (run(c.session.store, c.session.host, table)) c.session.Refresh();
  return kStepOk;
}

template <void (*Op)(ImageStore&, Host&, StretchTable&)>
int Plain(StepContext& c, const Args&) {
  return Stretch(c, [](ImageStore& s, Host& h, StretchTable& t) {
    Op(s, h, t);
    return true;
  });
}

const RegisterStep kNormal{{"normal-stretch", 2, "B W", [](StepContext& c, const Args& a) {
                              long black = 0, white = 0;
                              if (!ParseInt(a[0], 0, kNormalBlackMax, black) ||
                                  !ParseInt(a[1], 1, kNormalWhiteMax, white) || black >= white) {
                                return kStepUsage;
                              }
                              return Stretch(c, [&](ImageStore& s, Host& h, StretchTable& t) {
                                return NormalStretch(s, h, t, static_cast<int>(black),
                                                     static_cast<int>(white));
                              });
                            }}};

const RegisterStep kPower{{"power-stretch", 1, "G", [](StepContext& c, const Args& a) {
                             // The dialog steps the power in tenths from 0.1 to 3.0.
                             double power = 0;
                             if (!ParseDouble(a[0], power)) return kStepUsage;
                             const double tenths = std::round(power * 10.0);
                             if (std::abs(power * 10.0 - tenths) > 1e-6 || tenths < 1 || tenths > 30)
                               return kStepUsage;
                             // The dialog's OK does nothing at 1.0.
                             if (tenths == 10) return kStepOk;
                             return Stretch(c, [&](ImageStore& s, Host& h, StretchTable& t) {
                               return PowerStretch(s, h, t, tenths / 10.0);
                             });
                           }}};

const RegisterStep kNonLinear{{"non-linear-stretch", 1, "P", [](StepContext& c, const Args& a) {
                                 long power = 0;
                                 if (!ParseInt(a[0], kNonLinearPowerMin, kNonLinearPowerMax, power))
                                   return kStepUsage;
                                 return Stretch(c, [&](ImageStore& s, Host& h, StretchTable& t) {
                                   return NonLinearStretch(s, h, t, static_cast<int>(power));
                                 });
                               }}};

const RegisterStep kRemoveBackground{
    {"remove-background", 0, "", [](StepContext& c, const Args&) { return Stretch(c, RemoveBackground); }}};

const RegisterStep kSine{{"sine-stretch", 0, "", Plain<SineStretch>}};
const RegisterStep kLog{{"log-stretch", 0, "", Plain<LogStretch>}};
const RegisterStep kAntilog{{"antilog-stretch", 0, "", Plain<AntilogStretch>}};
const RegisterStep kInvert{{"invert", 0, "", Plain<InvertStretch>}};

}  // namespace
}  // namespace nyxel::batch
