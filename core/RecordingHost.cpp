#include "core/RecordingHost.h"

namespace nyxel {

int RecordingHost::MessageBox(std::string_view text, std::string_view caption, MessageIcon icon,
                              MessageButtons buttons) {
  boxes.push_back({std::string(text), std::string(caption), icon, buttons});
  const size_t i = boxes.size() - 1;
  if (i < answers.size()) return answers[i];
  return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel ? kIdYes : kIdOk;
}

void RecordingHost::ProgressOpen(std::string_view caption) {
  progress_open = true;
  progress_captions.emplace_back(caption);
}

bool RecordingHost::PumpMessages() {
  ++pumps;
  if (on_pump) on_pump();
  return abort_on_pump != 0 && pumps >= abort_on_pump;
}

bool RecordingHost::ShowBitmap(const std::filesystem::path& bitmap_file) {
  shown_bitmaps.push_back(bitmap_file);
  return on_show_bitmap ? on_show_bitmap(bitmap_file) : true;
}

std::vector<std::string> RecordingHost::Texts() const {
  std::vector<std::string> texts;
  for (const auto& box : boxes) texts.push_back(box.text);
  return texts;
}

void RecordingHost::Clear() {
  boxes.clear();
  beeps.clear();
  progress_captions.clear();
  progress_positions.clear();
  shown_bitmaps.clear();
}

}  // namespace nyxel
