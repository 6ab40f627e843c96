#pragma once
// A Host that records what it was asked to show, for tests and headless runs.
#include <functional>
#include <string>
#include <vector>

#include "core/Host.h"

namespace nyxel {

class RecordingHost : public Host {
 public:
  struct Box {
    std::string text;
    std::string caption;
    MessageIcon icon;
    MessageButtons buttons;
  };

  int MessageBox(std::string_view text, std::string_view caption, MessageIcon icon,
                 MessageButtons buttons) override;
  void Beep(int kind) override { beeps.push_back(kind); }
  void SetBusyCursor(bool busy) override { busy ? ++busy_depth : --busy_depth; }
  void ProgressOpen(std::string_view caption) override;
  void ProgressSetCaption(std::string_view caption) override { progress_captions.emplace_back(caption); }
  void ProgressSetPosition(int percent) override { progress_positions.push_back(percent); }
  void ProgressClose() override { progress_open = false; }
  bool PumpMessages() override;
  void SetCaption(std::string_view caption) override { this->caption = caption; }
  bool ShowBitmap(const std::filesystem::path& bitmap_file) override;

  // Texts of the boxes shown so far.
  std::vector<std::string> Texts() const;
  void Clear();

  std::vector<Box> boxes;
  std::vector<int> beeps;
  int busy_depth = 0;
  bool progress_open = false;
  std::vector<std::string> progress_captions;
  std::vector<int> progress_positions;
  std::string caption;
  std::vector<std::filesystem::path> shown_bitmaps;

  // Answers of the boxes, in order; kIdOk (or the first button) once they run out.
  std::vector<int> answers;
  // PumpMessages reports an abort on the call with this number (1-based; 0 = never).
  int abort_on_pump = 0;
  int pumps = 0;
  // Runs on every PumpMessages call, e.g. to advance a simulated clock or press a button.
  std::function<void()> on_pump;
  // Runs on every ShowBitmap, e.g. the paint's black-level estimate.
  std::function<bool(const std::filesystem::path&)> on_show_bitmap;
};

}  // namespace nyxel
