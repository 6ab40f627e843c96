#pragma once
// The "Set Program Defaults" dialog as operations on the settings: every control by its id, what it
// shows and what a click does. The window only lays the controls out, shows these values and
// forwards clicks and typing, so the dialog's behaviour is tested without a window.
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Drive.h"
#include "core/Host.h"
#include "files/Settings.h"

namespace nyxel {

enum class DialogControlKind { Check, Radio, Button, Edit };

struct DialogControl {
  int id;
  DialogControlKind kind;
  std::string_view text;   // the control's text; for an edit, its label
  std::string_view group;  // the group box title, "" outside the groups
};

class SetProgramDefaults {
 public:
  static constexpr std::string_view kTitle = "Set Program Defaults";

  static constexpr int kSaveChanges = 1;
  static constexpr int kCancel = 2;
  static constexpr int kPixelOffset = 17102;
  static constexpr int kLineOffset = 17103;
  static constexpr int kBeepAfterExposure = 17108;
  static constexpr int kUnsignedFormat = 17109;
  static constexpr int kFocusDelay = 17113;
  static constexpr int kRed = 17114;
  static constexpr int kLtGray = 17115;
  static constexpr int kGray = 17116;
  static constexpr int kDisableInterrupts = 17117;
  static constexpr int kMask7 = 17123;  // 7, 8, 9, 11, 13, 15 pixels: 17123..17128
  static constexpr int kMask8 = 17124;
  static constexpr int kMask9 = 17125;
  static constexpr int kMask11 = 17126;
  static constexpr int kMask13 = 17127;
  static constexpr int kMask15 = 17128;
  static constexpr int kSharedComPort = 17129;
  static constexpr int kComPort1 = 17130;
  static constexpr int kComPort2 = 17131;
  static constexpr int kTraining1 = 17132;
  static constexpr int kTraining2 = 17133;
  static constexpr int kTraining4 = 17134;
  static constexpr int kRaPixelsPerSec = 17135;  // the six number edits: 17135..17140
  static constexpr int kDecPixelsPerSec = 17136;
  static constexpr int kRaBacklash = 17137;
  static constexpr int kDecBacklash = 17138;
  static constexpr int kRaHysteresis = 17139;
  static constexpr int kDecHysteresis = 17140;
  static constexpr int kSetSlewValues = 17141;
  static constexpr int kIgnoreDrift = 17142;
  static constexpr int kDirectionDelay = 17143;
  static constexpr int kSwapNorthSouth = 17144;
  static constexpr int kSwapEastWest = 17145;
  static constexpr int kSubdirName = 17146;
  static constexpr int kSetSubdir = 17147;
  static constexpr int kGuideNone = 17151;
  static constexpr int kGuideLx200 = 17152;
  static constexpr int kGuideControlBox = 17153;
  static constexpr int kDebugMode = 17194;

  static constexpr int kHysteresisLimit = 20;

  // Every control in layout order, with its text and group box.
  static const std::vector<DialogControl>& Controls();
  // The group box titles in layout order.
  static const std::vector<std::string_view>& Groups();

  // The command's first step: loads the settings; on failure shows message 20 (the dialog still
  // opens with the values as they are). Returns LoadSettings' result.
  static int LoadBeforeOpening(Settings& s, const Drive& drive, Host& host);

  // Opens on the settings: the edits show the current values.
  explicit SetProgramDefaults(Settings& s);

  // A click on a check box, radio button or button; the setting changes at once. Every click except
  // Debug Mode, Beep after Exposure ends, Pixel Offset and Line Offset first reads the six number
  // edits. Save Changes and Cancel are the two calls below. Unknown ids do nothing.
  void Click(int id);
  // Whether a check box or radio button shows checked, from the current values.
  bool Checked(int id) const;

  // The user's typing in an edit (the six number edits and the sub-folder name).
  void SetEditText(int id, std::string_view text);
  // What an edit shows.
  std::string EditText(int id) const;
  // Takes the six number edits into their settings (hysteresis limited to at most 20). A text that
  // is not a whole number in -32768..32767 leaves its setting as it was. The edits then show the
  // values taken.
  void ReadEdits();
  // Sets every edit from the current values (discards typing not yet taken).
  void Refresh();

  // "Save Changes": takes the number edits, then saves the settings; shows message 21 on failure.
  // Returns SaveSettings' result.
  int SaveChanges(const Drive& drive, Host& host);
  // "Cancel": nothing is saved; the values changed so far stay in effect.
  void Cancel() {}

  // Called with the new state when Debug Mode is clicked (the camera transport's debug output).
  std::function<void(bool)> on_debug_mode;

 private:
  Settings& s_;
  std::array<std::string, 6> number_edits_;
  std::string subdir_edit_;
};

}  // namespace nyxel
