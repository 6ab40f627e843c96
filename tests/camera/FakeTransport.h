#pragma once
// A scripted transport: the interfaces each class enumerates, which of them open, and what the bulk
// channel delivers. Records every report written and every read asked for.
#include <cerrno>
#include <cstring>
#include <vector>

#include "camera/CameraTransport.h"

namespace nyxel::test {

class FakeTransport : public CameraTransport {
 public:
  struct Entry {
    UsbInterface info;
    bool opens = true;
  };

  bool ListInterfaces(UsbClass usb_class, std::vector<UsbInterface>& out) override {
    listed.push_back(usb_class);
    out.clear();
    if (usb_class == UsbClass::Hid ? !hid_list_ok : !blockio_list_ok) return false;
    for (const Entry& e : Entries(usb_class)) out.push_back(e.info);
    return true;
  }
  int Open(UsbClass usb_class, const UsbInterface& usb_interface) override {
    opened.push_back({usb_class, usb_interface.key});
    for (const Entry& e : Entries(usb_class)) {
      if (e.info.key == usb_interface.key) return e.opens ? static_cast<int>(e.info.key) : 0;
    }
    return 0;
  }
  int WriteReport(int handle, std::span<const uint8_t> report) override {
    writes.emplace_back(report.begin(), report.end());
    write_handles.push_back(handle);
    return write_error;
  }
  int ReadBulk(int handle, std::span<uint8_t> dest, uint32_t timeout_ms) override {
    read_handles.push_back(handle);
    read_sizes.push_back(dest.size());
    read_timeouts.push_back(timeout_ms);
    if (read_error != 0) return read_error;
    if (!bulk.empty()) std::memcpy(dest.data(), bulk.data(), std::min(dest.size(), bulk.size()));
    return 0;
  }

  std::vector<Entry>& Entries(UsbClass usb_class) { return usb_class == UsbClass::Hid ? hid : blockio; }

  std::vector<Entry> hid, blockio;
  bool hid_list_ok = true, blockio_list_ok = true;
  int write_error = 0, read_error = 0;
  std::vector<uint8_t> bulk;  // what the next read delivers

  std::vector<UsbClass> listed;
  std::vector<std::pair<UsbClass, uint64_t>> opened;
  std::vector<std::vector<uint8_t>> writes;
  std::vector<int> write_handles, read_handles;
  std::vector<size_t> read_sizes;
  std::vector<uint32_t> read_timeouts;
};

// An interface whose handle, once opened, is its key.
inline FakeTransport::Entry Interface(uint64_t key, bool opens = true, bool has_name = true) {
  FakeTransport::Entry e;
  e.info.key = key;
  e.info.vendor_id = static_cast<uint16_t>(0x1000 + key);
  e.info.product_id = static_cast<uint16_t>(0x2000 + key);
  e.info.manufacturer = u"Maker";
  e.info.product = u"Camera";
  e.info.has_system_name = has_name;
  e.opens = opens;
  return e;
}

}  // namespace nyxel::test
