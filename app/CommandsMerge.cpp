// Merge menu: subtract a dark frame and apply a flat field from disk, and the two-image merge with its
// modeless dialog, marks set by left clicks on the picture and File/Open for the image to be merged.
#include <QFileDialog>
#include <QStringList>
#include <algorithm>

#include "app/CommandRegistry.h"
#include "app/FileDialogs.h"
#include "app/TMergeDialog.h"
#include "app/TNyxelWindow.h"
#include "files/FileCommands.h"
#include "processing/DarkFlatMerge.h"

namespace nyxel {
namespace {

constexpr int kFileOpenCommand = 24332;

// Subtract Images (Dark Frame) and Apply Flat Field: pick the file, load it as the second image, combine.
void CombineFromDisk(TNyxelWindow& w, char combine_mode) {
  Session& session = w.session();
  const ChosenFile chosen = ChooseFile(w, {kCombineFileFilter, false, {}, true, {}});
  if (chosen.path.empty()) return;
  const std::filesystem::path& file = chosen.path;
  if (CombineWithFile(session, combine_mode, file.string()) != 0) return;
  session.files.LastFolder = file.parent_path();
  const bool fits = chosen.name_filter.contains(QStringLiteral("*.FIT"));
  session.files.LastFilterIndex = FilterIndexAfterDialog(fits ? "FIT" : "", file.filename().string());
  w.Refresh();
}

// File/Open while merging: the first image is kept before the file is loaded. The registered File Open
// handler is wrapped for as long as the merge dialog lives.
class FileOpenDuringMerge {
 public:
  explicit FileOpenDuringMerge(TMergeDialog& dialog) {
    const CommandHandler* open = FindCommandHandler(kFileOpenCommand);
    if (open == nullptr || !open->run) return;  // no File Open to wrap
    previous_ = *open;
    wrapped_ = true;
    CommandHandler wrapped = previous_;
    wrapped.run = [this, &dialog](TNyxelWindow& w) { Run(w, dialog); };
    RegisterCommand{kFileOpenCommand, wrapped};
  }
  ~FileOpenDuringMerge() {
    if (wrapped_) RegisterCommand{kFileOpenCommand, previous_};
  }
  FileOpenDuringMerge(const FileOpenDuringMerge&) = delete;
  FileOpenDuringMerge& operator=(const FileOpenDuringMerge&) = delete;

 private:
  void Run(TNyxelWindow& w, TMergeDialog& dialog) {
    ImageStore& store = w.session().store;
    if (!store.MergeMode) {
      previous_.run(w);
      return;
    }
    // A cancelled file dialog must leave the merge as it was: keep what OpenMergeImage replaces (the
    // undo planes, in the scratch planes) and notice the cancel by the file name left untouched.
    const std::string name = store.CurrentFileName;
    const int phase = store.MergeFirstPhase;
    CopyPlane(store.UndoRed, store.ScratchPlane0);
    CopyPlane(store.UndoGreen, store.ScratchPlane1);
    CopyPlane(store.UndoBlue, store.ScratchPlane2);
    OpenMergeImage(store);
    dialog.RefreshControls();
    store.CurrentFileName.clear();
    previous_.run(w);
    if (store.CurrentFileName.empty()) {
      store.CurrentFileName = name;
      store.MergeFirstPhase = phase;
      CopyPlane(store.ScratchPlane0, store.UndoRed);
      CopyPlane(store.ScratchPlane1, store.UndoGreen);
      CopyPlane(store.ScratchPlane2, store.UndoBlue);
    }
    dialog.RefreshControls();
  }

  CommandHandler previous_;
  bool wrapped_ = false;
};

void Merge(TNyxelWindow& w) {
  Session& session = w.session();
  if (!StartMerge(session.store, session.host)) return;
  auto* dialog = new TMergeDialog(session.store, session.host, w.dialogParent());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setObjectName(QStringLiteral("TMergeDialog"));
  auto* open = new FileOpenDuringMerge(*dialog);
  QObject::connect(dialog, &QObject::destroyed, [open] { delete open; });
  QObject::connect(dialog, &TMergeDialog::merged, &w, [&w] { w.Refresh(); });
  QObject::connect(&w, &TNyxelWindow::onPictureLeftClick, dialog, [&w, dialog](int x, int y) {
    Session& s = w.session();
    int moved_x = 0, moved_y = 0;
    // The search radius follows the guide mask radius setting.
    if (!MarkMergePoint(s.store, s.host, x, y, s.settings.guide_mask_radius, moved_x, moved_y)) return;
    if (moved_x != 0 || moved_y != 0) w.MoveCursorToPicture(x + moved_x, y + moved_y);
    dialog->RefreshControls();
    w.Repaint();
  });
  dialog->show();
}

const RegisterCommand kSubtractDark{110, {[](TNyxelWindow& w) { CombineFromDisk(w, kCombineDark); }}};
const RegisterCommand kFlatField{117, {[](TNyxelWindow& w) { CombineFromDisk(w, kCombineFlat); }}};
const RegisterCommand kMerge{111, {Merge}};

}  // namespace
}  // namespace nyxel
