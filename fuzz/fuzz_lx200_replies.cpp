// libFuzzer target: the LX200 reply reading behind the go-to commands and the object information.
// The input is the command's parameters, then what the telescope answers: a length byte before each
// piece a read returns (cut to what the read asks for), so replies come whole, short or in pieces.
#include <algorithm>
#include <cstring>

#include "core/Clock.h"
#include "core/RecordingHost.h"
#include "telescope/SerialPort.h"
#include "telescope/TelescopeLink.h"

using namespace nyxel;

namespace {

class ReplyPort : public SerialPort {
 public:
  ReplyPort(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int Reset(int, int, int) override { return 0; }
  int Baud(int) override { return 0; }
  int Parms(int, int, int) override { return 0; }
  int Dtr(char) override { return 0; }
  int Rts(char) override { return 0; }
  int Puts(const char*, int n) override { return n; }
  int Putc(uint8_t) override { return 1; }
  int Gets(char* dest, int n) override {
    if (n <= 0 || at_ >= size_) return 0;
    const size_t want = data_[at_++] % (static_cast<size_t>(n) + 1);
    const size_t got = std::min(want, size_ - at_);
    std::memcpy(dest, data_ + at_, got);
    at_ += got;
    return static_cast<int>(got);
  }
  int RxClear() override { return 0; }
  int Done() override { return 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  static RecordingHost host;
  SimulatedClock clock;
  ReplyPort port(data + 5, size - 5);
  TelescopeLink link;
  link.port = &port;
  link.TelescopeLinkOpen = true;
  switch (data[0] % 3) {
    case 0:
      GotoCatalogue(link, host, clock, "msc"[data[1] % 3], (data[2] << 8 | data[3]) % 10000);
      break;
    case 1:
      GotoCoordinates(link, host, clock, data[1] % 24, data[2] % 60, static_cast<int8_t>(data[3]) % 90,
                      data[4] % 60);
      break;
    default:
      ReadObjectInfo(link, clock);
      break;
  }
  if (link.ReplyText.size() > kReplyTextLimit) __builtin_trap();
  host.Clear();
  return 0;
}
