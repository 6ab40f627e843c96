#include "batch/BatchHost.h"

#include <fstream>

#include "core/Display.h"
#include "core/Messages.h"

namespace nyxel::batch {

int BatchHost::MessageBox(std::string_view text, std::string_view, MessageIcon, MessageButtons buttons) {
  ++messages_shown;
  err_ << text << '\n';
  // Without a user to ask, questions take their first answer.
  return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel ? kIdYes : kIdOk;
}

void BatchHost::AbortAfter(Clock& clock, uint32_t ms) {
  abort_clock_ = &clock;
  abort_at_ = clock.NowMs() + ms;
}

bool BatchHost::PumpMessages() {
  if (!abort_at_ || abort_clock_ == nullptr) return false;
  if (ElapsedMs(abort_clock_->NowMs(), *abort_at_) < 0) return false;
  abort_at_.reset();
  return true;
}

bool BatchHost::ShowBitmap(const std::filesystem::path& bitmap_file) {
  std::ifstream in(bitmap_file, std::ios::binary);
  char signature[2] = {};
  if (!in.read(signature, 2) || signature[0] != 'B' || signature[1] != 'M') {
    ShowMessage(*this, 32);
    return false;
  }
  if (store_) EstimateBlackLevel(*store_);
  return true;
}

}  // namespace nyxel::batch
