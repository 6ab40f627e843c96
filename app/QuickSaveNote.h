#pragma once
// Quick save as the window does it: the "Saving Image" note while the autosave writes, then its message.
namespace nyxel {

class TNyxelWindow;

void QuickSaveWithNote(TNyxelWindow& w);

}  // namespace nyxel
