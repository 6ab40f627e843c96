#pragma once
// The processing history: 15 one-line descriptions of what was done to the current image.
#include <array>
#include <string>
#include <string_view>

namespace nyxel {

inline constexpr int kHistoryLines = 15;
inline constexpr int kHistoryLineLength = 39;  // characters; each entry is a 40-byte zero-terminated text

// Used entries always form a prefix; the first empty entry marks the end (there is no counter).
struct ProcessingHistory {
  std::array<std::array<char, kHistoryLineLength + 1>, kHistoryLines> HistoryLine{};

  std::string Line(int i) const { return std::string(HistoryLine[i].data()); }
  bool Used(int i) const { return HistoryLine[i][0] != 0; }
  int UsedCount() const;
  // Stores the text (cut to 39 characters) in entry i, leaving the others alone.
  void SetLine(int i, std::string_view text);
};

// Stores the text in the first empty entry; dropped silently when all 15 are used.
void AddHistoryLine(ProcessingHistory& history, std::string_view text);
// Empties the last used entry; nothing happens when none is used.
void RemoveLastHistoryLine(ProcessingHistory& history);
void ClearHistory(ProcessingHistory& history);

}  // namespace nyxel
