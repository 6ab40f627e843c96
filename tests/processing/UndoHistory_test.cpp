#include "processing/UndoHistory.h"

#include <gtest/gtest.h>

#include "core/RecordingHost.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

TEST(UndoHistory, HistoryText) {
  struct Case {
    std::vector<std::string> lines;
    std::string text;
  };
  const Case cases[] = {
      {{}, " \n"},
      {{"Normal Stretch"}, "Normal Stretch \n"},
      {{"a", "b"}, "a \n"},                    // the first entry is always shown
      {{"ab", "c", "de"}, "ab \n"},            // one character ends the list
      {{"ab", "cd", "", "ef"}, "ab \ncd \n"},  // so does an empty entry
  };
  for (const Case& c : cases) {
    ProcessingHistory h;
    for (size_t i = 0; i < c.lines.size(); ++i) h.SetLine(static_cast<int>(i), c.lines[i]);
    EXPECT_EQ(HistoryText(h), c.text);
  }
  // A full history of 39-character lines: all 15 shown; a 16th line is lost.
  ProcessingHistory full;
  std::string expected;
  for (int i = 0; i < 16; ++i) {
    const std::string line(39, static_cast<char>('A' + i));
    AddHistoryLine(full, line);
    if (i < 15) expected += line + " \n";
  }
  EXPECT_EQ(HistoryText(full), expected);

  RecordingHost host;
  ShowHistory(host, full);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Nyxel - PROCESSING HISTORY");
  EXPECT_EQ(host.boxes[0].text, expected);
  EXPECT_EQ(host.boxes[0].buttons, MessageButtons::Ok);
}

TEST(UndoHistory, UndoRestoresTheFrameAndDropsTheLastLine) {
  test::TempDir dir;
  RecordingHost host;
  SimulatedClock clock;
  Session session(host, clock, Drive(dir.path()));
  StartSession(session);
  ImageStore& s = session.store;
  s.UndoFrame.fill(111);
  s.CurrentFrame.fill(222);
  for (int i = 0; i < 15; ++i) AddHistoryLine(s.History, "line " + std::to_string(i));

  UndoLastFilter(session);
  EXPECT_EQ(s.CurrentFrame[0], 111);
  EXPECT_EQ(s.CurrentFrame[kFramePixels - 1], 111);
  EXPECT_EQ(s.History.UsedCount(), 14);  // a full history loses its fifteenth line
  EXPECT_EQ(s.History.Line(13), "line 13");
  EXPECT_EQ(host.shown_bitmaps.size(), 1u);  // the picture was rebuilt

  // A second undo restores the same frame again and removes one more line.
  s.CurrentFrame.fill(5);
  UndoLastFilter(session);
  EXPECT_EQ(s.CurrentFrame[100], 111);
  EXPECT_EQ(s.History.UsedCount(), 13);

  // With an empty history only the image changes.
  ClearHistory(s.History);
  s.CurrentFrame.fill(5);
  UndoLastFilter(session);
  EXPECT_EQ(s.CurrentFrame[100], 111);
  EXPECT_EQ(s.History.UsedCount(), 0);
  EXPECT_TRUE(host.boxes.empty());
}

}  // namespace
}  // namespace nyxel
