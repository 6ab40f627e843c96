#include "core/History.h"

#include <algorithm>

namespace nyxel {

int ProcessingHistory::UsedCount() const {
  int n = 0;
  while (n < kHistoryLines && Used(n)) ++n;
  return n;
}

void ProcessingHistory::SetLine(int i, std::string_view text) {
  auto& line = HistoryLine[i];
  line.fill(0);
  const size_t n = std::min<size_t>(text.size(), kHistoryLineLength);
  std::copy_n(text.begin(), n, line.begin());
}

void AddHistoryLine(ProcessingHistory& history, std::string_view text) {
  const int n = history.UsedCount();
  if (n < kHistoryLines) history.SetLine(n, text);
}

void RemoveLastHistoryLine(ProcessingHistory& history) {
  const int n = history.UsedCount();
  if (n > 0) history.HistoryLine[n - 1].fill(0);
}

void ClearHistory(ProcessingHistory& history) {
  for (auto& line : history.HistoryLine) line.fill(0);
}

}  // namespace nyxel
