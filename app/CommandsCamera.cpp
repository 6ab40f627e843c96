// The camera commands: "Rv Camera Interface" with its dialog and focus mode, "Focus Frame Centre" and
// "Default Focus Frame Centre".
#include <QObject>
#include <memory>

#include "app/CommandRegistry.h"
#include "app/QuickSaveNote.h"
#include "app/TInfoDialog.h"
#include "app/TMESSDialog.h"
#include "app/TNyxelWindow.h"
#include "app/TQKDialog.h"
#include "camera/ExposureRun.h"
#include "core/Drive.h"

namespace nyxel {
namespace {

void CameraCommand(TNyxelWindow& w) {
  Observatory& obs = w.observatory();
  Session& s = obs.session;
  if (!BeginCameraCommand(obs)) return;
  CameraDialogValues values{obs.run, s.store.PaletteBits, s.store.MaxPaletteAll, obs.state.LastFocusMaximum};
  values.star_size = &obs.state.LastFocusSize;
  values.trend = &obs.state.FocusSizes;
  values.dark_file = s.files.DarkFrameFile;
  values.last_file_no = s.settings.autosave_counter;
  values.autosave_dir = s.settings.autosave_dir;
  values.focus_bitmap = s.drive.Resolve(kFocusBitmapPath);
  values.focus_bitmap_written = &obs.state.FocusBitmapWritten;
  values.self_guiding_available = obs.self_guide != nullptr;
  values.guiding_frames = obs.guider.state.GuidingFramesForDark;
  AttachGuiding(w);
  values.self_guide = [&obs] { obs.guider.ToggleSelfGuide(); };
  values.matching_dark = [&obs, &values] {
    obs.guider.ToggleMatchingDark();
    values.guiding_frames = obs.guider.state.GuidingFramesForDark;
  };
  TQKDialog dialog(values, s.host, w.dialogParent());
  // Closing the dialog during focus mode ends focus mode, as the abort does; otherwise it is Cancel.
  QObject::connect(&dialog, &QDialog::rejected, &w, [&w] { w.host().RequestStop(); });
  values.start_focus = [&w, &obs, &dialog] {
    RunFocusMode(obs, {[&dialog](int) {
                         dialog.RefreshDialog();
                         dialog.repaint();
                         return true;
                       },
                       [&w] {
                         TMESSDialog pause(w.dialogParent());
                         return w.ExecDialog(pause) == QDialog::Accepted;
                       }});
  };
  const bool take_photo = w.ExecDialog(dialog) == QDialog::Accepted;
  if (take_photo) {
    w.UpdateCommandStates();
    obs.quick_save = [&w](Session&) { QuickSaveWithNote(w); };
    TakePhoto(obs, [&w](int, int) { w.UpdateControlBar(); });
    obs.quick_save = nullptr;
  } else {
    CancelCameraCommand(obs);
  }
  obs.state.FocusBitmapWritten = false;
  EndCameraCommand(obs);
  w.host().RunCommandEnded();
  w.UpdateControlBar();
}

// The next left click in the picture sets the focus window.
void FocusFrameCentre(TNyxelWindow& w) {
  Observatory& obs = w.observatory();
  obs.state.FocusCentreArmed = true;
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection = QObject::connect(&w, &TNyxelWindow::onPictureLeftClick, &w, [&w, connection](int x, int y) {
    QObject::disconnect(*connection);
    Observatory& o = w.observatory();
    if (!o.state.FocusCentreArmed) return;
    o.state.FocusCentreArmed = false;
    FocusFrameCentreClick(o, x, y);
  });
}

const RegisterCommand kCamera{12, {CameraCommand}};
const RegisterCommand kFocusCentre{19, {FocusFrameCentre}};
const RegisterCommand kFocusDefault{
    20, {[](TNyxelWindow& w) { DefaultFocusFrameCentre(w.observatory().camera); }}};

}  // namespace
}  // namespace nyxel
