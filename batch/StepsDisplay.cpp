// The display and View steps: render, rv-geometry, auto-stretch, max-palette, palette-bits, black-level, mirror.
#include "batch/BatchStep.h"
#include "core/AtomicFile.h"
#include "core/Display.h"
#include "core/Messages.h"
#include "files/FileBytes.h"

namespace nyxel::batch {
namespace {

// Larger than either display bitmap (a colour picture in RV geometry is under 600 KB).
constexpr std::uintmax_t kLongestBitmap = 4u << 20;

int Toggle(StepContext& c, const Args& a, int& flag) {
  bool on = false;
  if (!ParseOnOff(a[0], on)) return kStepUsage;
  flag = on;
  c.session.Refresh();
  return kStepOk;
}

// Through the atomic writer like every other writer, so a full disk leaves the previous PATH whole.
const RegisterStep kRender{{"render", 1, "PATH", [](StepContext& c, const Args& a) {
  if (c.session.last_refresh != 0) {
    c.session.host.MessageBox("Cannot write " + a[0] + ": the last display refresh failed", "Nyxel");
    return kStepFailed;
  }
  const FileBytes bitmap =
      ReadFileBytes(DisplayBitmapFile(c.session.store, c.session.drive), kLongestBitmap);
  if (!bitmap.opened || !bitmap.complete || bitmap.length != bitmap.bytes.size()) {
    ShowMessage(c.session.host, 32);
    return kStepFailed;
  }
  AtomicFile out(a[0]);
  if (!out.Open() || !out.Write(bitmap.bytes.data(), bitmap.bytes.size()) || !out.Commit()) {
    c.session.host.MessageBox("Cannot write " + a[0], "Nyxel");
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
