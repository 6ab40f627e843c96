// The Colour menu's steps: synthesize, colour-balance, anti-alias, chromatism, low-pass-colour, undo-colour.
#include "batch/BatchStep.h"
#include "processing/Colour.h"

namespace nyxel::batch {
namespace {

int Result(int colour_result) {
  return colour_result == kColourDone ? kStepOk : kStepFailed;
}

const RegisterStep kSynthesize{{"synthesize", 0, "", [](StepContext& c, const Args&) {
                                  return Result(SynthesizeColourCommand(c.session, {}));
                                }}};

const RegisterStep kColourBalance{
    {"colour-balance", 4, "R G B SAT", [](StepContext& c, const Args& a) {
       long v[4] = {};
       for (int i = 0; i < 3; ++i) {
         if (!ParseInt(a[i], kBalanceMin, kBalanceMax, v[i])) return kStepUsage;
       }
       if (!ParseInt(a[3], 1, 9, v[3])) return kStepUsage;
       const ColourBalance start{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2])};
       return Result(BalanceColoursCommand(c.session, start, static_cast<int>(v[3])));
     }}};

const RegisterStep kAntiAlias{
    {"anti-alias", 0, "", [](StepContext& c, const Args&) { return Result(AntiAliasCommand(c.session)); }}};

const RegisterStep kChromatism{{"chromatism", 4, "RH RV BH BV", [](StepContext& c, const Args& a) {
                                  long v[4] = {};
                                  for (int i = 0; i < 4; ++i) {
                                    if (!ParseInt(a[i], -kChromaticLimit, kChromaticLimit, v[i]))
                                      return kStepUsage;
                                  }
                                  const ChromaticShift shift{static_cast<int>(v[0]), static_cast<int>(v[1]),
                                                             static_cast<int>(v[2]), static_cast<int>(v[3])};
                                  return Result(ChromatismCommand(c.session, shift));
                                }}};

const RegisterStep kLowPassColour{{"low-pass-colour", 0, "", [](StepContext& c, const Args&) {
                                     return Result(LowPassColourCommand(c.session));
                                   }}};

const RegisterStep kUndoColour{{"undo-colour", 0, "", [](StepContext& c, const Args&) {
                                  return Result(UndoColourFilterCommand(c.session));
                                }}};

}  // namespace
}  // namespace nyxel::batch
