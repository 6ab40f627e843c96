#pragma once
// The Host of nyxel-batch: message boxes go to stderr, the "paint" after a refresh runs the black-level
// estimate as the window's paint does.
#include <ostream>

#include <cstdint>
#include <optional>

#include "core/Clock.h"
#include "core/Host.h"
#include "core/ImageStore.h"

namespace nyxel::batch {

class BatchHost : public Host {
 public:
  explicit BatchHost(std::ostream& err) : err_(err) {}
  void Attach(ImageStore& store) { store_ = &store; }

  int MessageBox(std::string_view text, std::string_view caption, MessageIcon icon = MessageIcon::None,
                 MessageButtons buttons = MessageButtons::Ok) override;
  void Beep(int) override {}
  void SetBusyCursor(bool) override {}
  void ProgressOpen(std::string_view) override {}
  void ProgressSetCaption(std::string_view) override {}
  void ProgressSetPosition(int) override {}
  void ProgressClose() override {}
  // Without a keyboard the only abort is the one `abort-after` arms.
  bool PumpMessages() override;
  void SetCaption(std::string_view caption) override { caption_ = caption; }
  bool ShowBitmap(const std::filesystem::path& bitmap_file) override;

  // From `clock`'s reading `ms` on, the next pump reports one abort, as a key press would.
  void AbortAfter(Clock& clock, uint32_t ms);

  int messages_shown = 0;

 private:
  std::ostream& err_;
  ImageStore* store_ = nullptr;
  std::string caption_;
  Clock* abort_clock_ = nullptr;
  std::optional<uint32_t> abort_at_;
};

}  // namespace nyxel::batch
