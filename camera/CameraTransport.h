#pragma once
// The byte-moving layer under the camera protocol: list and open the camera's two USB interfaces, write
// one output report, read one block. LibusbTransport talks to the real camera, SimulatedCamera answers
// from a simulated sky; the protocol code never asks which one it has.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace nyxel {

// The two interface classes of the camera: the HID command channel and the bulk image channel.
enum class UsbClass { Hid, BlockIO };

// One enumerated interface, as the scan sees it before opening it.
struct UsbInterface {
  bool has_system_name = true;  // the transport could name (address) the interface
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  std::optional<std::u16string> manufacturer;  // nullopt: the string could not be read
  std::optional<std::u16string> product;
  uint64_t key = 0;  // the transport's own reference, handed back to Open
};

// Transport results: 0 for success, otherwise the system's error code (errno numbering).
class CameraTransport {
 public:
  virtual ~CameraTransport() = default;

  // The present interfaces of one class, in enumeration order. False when the device list itself
  // cannot be obtained.
  virtual bool ListInterfaces(UsbClass usb_class, std::vector<UsbInterface>& out) = 0;
  // Opens an interface for reading and writing; a non-zero handle, or 0 when it cannot be opened.
  // Opening the same interface again returns the same handle.
  virtual int Open(UsbClass usb_class, const UsbInterface& usb_interface) = 0;
  // Writes one output report; report[0] is the report id.
  virtual int WriteReport(int handle, std::span<const uint8_t> report) = 0;
  // Reads exactly dest.size() bytes in one blocking call, giving up after timeout_ms.
  virtual int ReadBulk(int handle, std::span<uint8_t> dest, uint32_t timeout_ms) = 0;
};

}  // namespace nyxel
