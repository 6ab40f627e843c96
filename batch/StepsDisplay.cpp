// The display and View steps: render, rv-geometry, auto-stretch, max-palette, palette-bits, black-level, mirror.
#include <system_error>

#include "batch/BatchStep.h"
#include "core/Display.h"

namespace nyxel::batch {
namespace {

int Toggle(StepContext& c, const Args& a, int& flag) {
  bool on = false;
  if (!ParseOnOff(a[0], on)) return kStepUsage;
  flag = on;
  c.session.Refresh();
  return kStepOk;
}

const RegisterStep kRender{{"render", 1, "PATH", [](StepContext& c, const Args& a) {
  std::error_code ec;
  std::filesystem::copy_file(DisplayBitmapFile(c.session.store, c.session.drive), a[0],
                             std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) {
    c.session.host.MessageBox("Cannot write " + a[0] + ": " + ec.message(), "Nyxel");
    return kStepFailed;
  }
  return kStepOk;
}}};

const RegisterStep kRvGeometry{{"rv-geometry", 1, "on|off", [](StepContext& c, const Args& a) {
  bool on = false;
  if (!ParseOnOff(a[0], on)) return kStepUsage;
  SetRvGeometry(c.session.store, on);
  c.session.Refresh();
  return kStepOk;
}}};

const RegisterStep kAutoStretch{{"auto-stretch", 1, "on|off", [](StepContext& c, const Args& a) {
  return Toggle(c, a, c.session.store.AutoStretch);
}}};

const RegisterStep kMaxPalette{{"max-palette", 1, "on|off", [](StepContext& c, const Args& a) {
  return Toggle(c, a, c.session.store.MaxPaletteAll);
}}};

const RegisterStep kPaletteBits{{"palette-bits", 1, "N", [](StepContext& c, const Args& a) {
  long bits = 0;
  if (!ParseInt(a[0], 12, 16, bits)) return kStepUsage;
  c.session.store.PaletteBits = static_cast<int>(bits);
  c.session.Refresh();
  return kStepOk;
}}};

const RegisterStep kBlackLevel{{"black-level", 0, "", [](StepContext& c, const Args&) {
  c.out << c.session.store.BlackLevel << '\n';
  return kStepOk;
}}};

const RegisterStep kMirror{{"mirror", 0, "", [](StepContext& c, const Args&) {
  {
    BusyCursor busy(c.session.host);
    MirrorImage(c.session.store);
  }
  c.session.Refresh();
  return kStepOk;
}}};

}  // namespace
}  // namespace nyxel::batch
