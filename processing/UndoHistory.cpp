#include "processing/UndoHistory.h"

#include <cstring>

namespace nyxel {

void UndoLastFilter(Session& session) {
  CopyFrame(session.store.UndoFrame, session.store.CurrentFrame);
  session.Refresh();
  RemoveLastHistoryLine(session.store.History);
}

std::string HistoryText(const ProcessingHistory& history) {
  std::string text = history.Line(0) + " \n";
  for (int i = 1; i < kHistoryLines && std::strlen(history.HistoryLine[i].data()) >= 2; ++i) {
    text += history.Line(i) + " \n";
  }
  return text;
}

void ShowHistory(Host& host, const ProcessingHistory& history) {
  host.MessageBox(HistoryText(history), kHistoryCaption, MessageIcon::None, MessageButtons::Ok);
}

}  // namespace nyxel
