// The Filters menu as steps: unsharp, median, high-pass-low, high-pass-high, smoother-sharper, gaussian,
// weighted-mean, bas-relief, gradient.
#include "batch/BatchStep.h"
#include "processing/Filter.h"

namespace nyxel::batch {
namespace {

template <class Run>
int Filter(StepContext& c, Run run) {
  {
    BusyCursor busy(c.session.host);
    run(c.session.store);
  }
  c.session.Refresh();
  return kStepOk;
}

template <void (*Op)(ImageStore&)>
int Fixed(StepContext& c, const Args&) {
  return Filter(c, Op);
}

const RegisterStep kUnsharp{{"unsharp", 2, "R P", [](StepContext& c, const Args& a) {
                               long radius = 0, power = 0;
                               if (!ParseInt(a[0], kUnsharpMin, kUnsharpMax, radius) ||
                                   !ParseInt(a[1], kUnsharpMin, kUnsharpMax, power)) {
                                 return kStepUsage;
                               }
                               return Filter(c, [&](ImageStore& s) {
                                 UnsharpMask(s, static_cast<int>(radius), static_cast<int>(power));
                               });
                             }}};

const RegisterStep kMedian{
    {"median", 2, "R P", [](StepContext& c, const Args& a) {
       long radius = 0, power = 0;
       if (!ParseInt(a[0], 1, kMedianRadiusMax, radius) || !ParseInt(a[1], 1, kMedianPowerMax, power))
         return kStepUsage;
       return Filter(
           c, [&](ImageStore& s) { MedianFilter(s, static_cast<int>(radius), static_cast<int>(power)); });
     }}};

const RegisterStep kHighPassLow{{"high-pass-low", 0, "", Fixed<HighPassLowPowerFilter>}};
const RegisterStep kHighPassHigh{{"high-pass-high", 0, "", Fixed<HighPassHighPowerFilter>}};
const RegisterStep kSmootherSharper{{"smoother-sharper", 0, "", Fixed<SmootherSharperFilter>}};
const RegisterStep kGaussian{{"gaussian", 0, "", Fixed<GaussianFilter>}};
const RegisterStep kWeightedMean{{"weighted-mean", 0, "", Fixed<LowpassSmootherFilter>}};
const RegisterStep kBasRelief{{"bas-relief", 0, "", Fixed<BasReliefFilter>}};
const RegisterStep kGradient{{"gradient", 0, "", Fixed<GradientFilter>}};

}  // namespace
}  // namespace nyxel::batch
