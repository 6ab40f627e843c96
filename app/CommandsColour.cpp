// Colour menu (and Edit's colour undo): synthesis, balance, anti-alias, chromatism, low pass, undo.
#include "app/CommandRegistry.h"
#include "app/TBalanceDialog.h"
#include "app/TChromaticDialog.h"
#include "app/TColourDialog.h"
#include "app/TNyxelWindow.h"
#include "processing/Colour.h"

namespace nyxel {
namespace {

void Synthesize(TNyxelWindow& w) {
  const int result = SynthesizeColourCommand(w.session(), [&w](Settings& settings) {
    TColourDialog dialog(settings, w.host(), w.dialogParent());
    return w.ExecDialog(dialog) == QDialog::Accepted;
  });
  if (result == kColourDone) w.UpdateControlBar();
}

void Balance(TNyxelWindow& w) {
  Session& session = w.session();
  if (!RequireColour(session)) return;
  // The starting values begin at 0 every time.
  BalanceValues values{{}, session.settings.saturation_factor};
  const BalanceHistograms histograms = CountBalanceHistograms(session.store);
  TBalanceDialog dialog(histograms, values, w.host(), w.dialogParent());
  if (w.ExecDialog(dialog) == QDialog::Accepted) {
    BalanceColoursCommand(session, values.start, values.saturation_factor);
  }
  w.Repaint();
}

void Chromatism(TNyxelWindow& w) {
  Session& session = w.session();
  if (!RequireColour(session)) return;
  ChromaticShift shift;
  TChromaticDialog dialog(shift, w.host(), w.dialogParent());
  if (w.ExecDialog(dialog) == QDialog::Accepted) ChromatismCommand(session, shift);
  w.Repaint();
}

const RegisterCommand kSynthesize{115, {Synthesize}};
const RegisterCommand kBalance{116, {Balance}};
const RegisterCommand kAntiAlias{114, {[](TNyxelWindow& w) { AntiAliasCommand(w.session()); }}};
const RegisterCommand kChromatism{119, {Chromatism}};
const RegisterCommand kLowPass{129, {[](TNyxelWindow& w) { LowPassColourCommand(w.session()); }}};
const RegisterCommand kUndoColour{10, {[](TNyxelWindow& w) { UndoColourFilterCommand(w.session()); }}};

}  // namespace
}  // namespace nyxel
