#pragma once
// The window's command table: one row per command id with its menu, text, keys, tool-bar bitmap and
// status-bar hint. Menus, shortcuts, the control bar and the hints are all built from it.
#include <string_view>
#include <vector>

namespace nyxel {

struct CommandRow {
  int id;
  std::string_view menu;  // popup title as shown ("&File"), kTopLevel for a menu-bar item, "" for none
  std::string_view text;  // with its "&" mnemonic and "\t" key hint
  std::string_view keys;  // accelerators, portable key-sequence text separated by ";" ("Alt+X;Alt+Shift+X")
  int bitmap;             // control-bar bitmap id, 0 for none
  std::string_view hint;  // status-bar hint
};

inline constexpr std::string_view kTopLevel = "(top level)";

// Every command id the window knows, menu items in menu order, internal commands included.
const std::vector<CommandRow>& CommandTable();
const CommandRow* FindCommandRow(int id);

// Popup titles in menu-bar order; the top-level items sit at their place among them.
const std::vector<std::string_view>& MenuOrder();

// The string table of hints by id (hints of our own fill the gaps in CommandTable).
std::string_view HintString(int id);

// Control-bar entries in start-up order. 0 is a separator; the state buttons (1901, 1902 or 304) and
// the telescope button (127) are placed by the window.
inline constexpr int kSeparator = 0;
inline constexpr int kCameraCommand = 12;
inline constexpr int kGeometryCommand = 304;
inline constexpr int kMaxStretchAllCommand = 1901;
inline constexpr int kFocusOnlyCommand = 1902;
inline constexpr int kTelescopeCommand = 127;
inline constexpr int kCopyCommand = 24323;

// The control-bar layout for a state: colour pictures get the geometry button, monochrome the two
// max-stretch buttons; the telescope button only when `telescope`.
std::vector<int> ControlBarLayout(bool colour, bool telescope);

}  // namespace nyxel
