#pragma once
// The Host of nyxel-batch: message boxes go to stderr, the "paint" after a refresh runs the black-level
// estimate as the window's paint does.
#include <ostream>

#include "core/Host.h"
#include "core/ImageStore.h"

namespace nyxel::batch {

class BatchHost : public Host {
 public:
  explicit BatchHost(std::ostream& err) : err_(err) {}
  void Attach(ImageStore& store) { store_ = &store; }

  int MessageBox(std::string_view text, std::string_view caption, MessageIcon icon,
                 MessageButtons buttons) override;
  void Beep(int) override {}
  void SetBusyCursor(bool) override {}
  void ProgressOpen(std::string_view) override {}
  void ProgressSetCaption(std::string_view) override {}
  void ProgressSetPosition(int) override {}
  void ProgressClose() override {}
  bool PumpMessages() override { return false; }
  void SetCaption(std::string_view caption) override { caption_ = caption; }
  bool ShowBitmap(const std::filesystem::path& bitmap_file) override;

  int messages_shown = 0;

 private:
  std::ostream& err_;
  ImageStore* store_ = nullptr;
  std::string caption_;
};

}  // namespace nyxel::batch
