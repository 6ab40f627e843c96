#pragma once
// Small pieces the dialogs share.
class QScrollBar;

namespace nyxel {

// The value after one scroll-bar action: an arrow or a page click moves it by one within low..high; a drag
// of the thumb changes nothing (these bars move by clicks only).
int StepByClick(int value, int low, int high, int action);

// Puts the bar at `value` without emitting its signals.
void ShowOnBar(QScrollBar* bar, int value);

}  // namespace nyxel
