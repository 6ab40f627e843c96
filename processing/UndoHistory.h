#pragma once
// Undo Last Filter (menu 9) and Processing History (menu 522).
#include <string>
#include <string_view>

#include "core/History.h"
#include "core/Host.h"
#include "files/Session.h"

namespace nyxel {

inline constexpr std::string_view kHistoryCaption = "Nyxel - PROCESSING HISTORY";

// UndoFrame back into CurrentFrame, the picture rebuilt, then the last history line removed. Never
// fails and asks nothing; a second undo restores the same frame and removes one more line.
void UndoLastFilter(Session& session);

// The history as shown: the first entry and " \n", then each following entry and " \n" while it holds
// at least two characters.
std::string HistoryText(const ProcessingHistory& history);

// Shows HistoryText in an OK box captioned "Nyxel - PROCESSING HISTORY".
void ShowHistory(Host& host, const ProcessingHistory& history);

}  // namespace nyxel
