#pragma once
// Small pieces the dialogs share.
#include "core/Host.h"

class QDialog;
class QGridLayout;
class QPushButton;
class QScrollBar;

namespace nyxel {

// The value after one scroll-bar action: an arrow or a page click moves it by one within low..high; a drag
// of the thumb changes nothing (these bars move by clicks only).
int StepByClick(int value, int low, int high, int action);

// The palette bits (12..16) after one action of a stretch bar: arrows step by one, pages and the ends jump
// to 12 or 16, the thumb takes its position.
int PaletteBitsAfter(int bits, int action, int thumb);

// Puts the bar at `value` without emitting its signals.
void ShowOnBar(QScrollBar* bar, int value);

// OK (the default button, accepts), Cancel (rejects) and Help in columns 1, 2 and 3 of a grid row; Help
// shows `help_text` in a box captioned `help_caption`. Returns the Help button.
QPushButton* AddOkCancelHelp(QDialog* dialog, QGridLayout* grid, int row, Host& host, const char* help_text,
                             const char* help_caption);

}  // namespace nyxel
