// Filters menu: unsharp mask and median with their dialogs, the fixed kernels and the gradient remover.
#include "app/CommandRegistry.h"
#include "app/TMedianDialog.h"
#include "app/TNyxelWindow.h"
#include "app/TUnsharpDialog.h"
#include "processing/Filter.h"

namespace nyxel {
namespace {

template <class Run>
void Filter(TNyxelWindow& w, Run run) {
  {
    BusyCursor busy(w.host());
    run(w.session().store);
  }
  w.Refresh();
}

template <void (*Op)(ImageStore&)>
void Fixed(TNyxelWindow& w) {
  Filter(w, Op);
}

void Unsharp(TNyxelWindow& w) {
  UnsharpValues values;  // radius 3, power 1 at every start
  TUnsharpDialog dialog(values, w.host(), w.dialogParent());
  if (w.ExecDialog(dialog) != QDialog::Accepted) return;
  Filter(w, [&](ImageStore& store) { UnsharpMask(store, values.radius, values.power); });
}

void Median(TNyxelWindow& w) {
  MedianValues values;  // radius 1, power 0.6 at every start
  TMedianDialog dialog(values, w.host(), w.dialogParent());
  if (w.ExecDialog(dialog) != QDialog::Accepted) return;
  Filter(w, [&](ImageStore& store) { MedianFilter(store, values.radius, values.power_tenths); });
}

const RegisterCommand kUnsharp{106, {Unsharp}};
const RegisterCommand kHighPassLow{107, {Fixed<HighPassLowPowerFilter>}};
const RegisterCommand kHighPassHigh{108, {Fixed<HighPassHighPowerFilter>}};
const RegisterCommand kSmootherSharper{109, {Fixed<SmootherSharperFilter>}};
const RegisterCommand kMedian{3, {Median}};
const RegisterCommand kGaussian{4, {Fixed<GaussianFilter>}};
const RegisterCommand kWeightedMean{5, {Fixed<LowpassSmootherFilter>}};
const RegisterCommand kBasRelief{7, {Fixed<BasReliefFilter>}};
const RegisterCommand kGradient{15, {Fixed<GradientFilter>}};

}  // namespace
}  // namespace nyxel
