#pragma once
// The camera on USB through libusb: a device with a HID interface (the command channel) and a
// vendor-class interface with a bulk IN endpoint (the image channel). Reports go to the HID interface
// as SET_REPORT requests; image blocks come from the bulk endpoint.
#include <memory>

#include "camera/CameraTransport.h"

namespace nyxel {

class LibusbTransport : public CameraTransport {
 public:
  LibusbTransport();
  ~LibusbTransport() override;
  LibusbTransport(const LibusbTransport&) = delete;
  LibusbTransport& operator=(const LibusbTransport&) = delete;

  // Only devices that carry both interfaces are listed, so keyboards and mice are never touched.
  // Without a USB subsystem (libusb cannot start) the lists are simply empty.
  bool ListInterfaces(UsbClass usb_class, std::vector<UsbInterface>& out) override;
  // Claims the interface, detaching a kernel driver (usbhid) from it for as long as it is held. A
  // device that has answered "no device" is closed and its handles stay dead (ENODEV), so a camera
  // plugged in again, even at the same bus address, is opened afresh by the next scan.
  int Open(UsbClass usb_class, const UsbInterface& usb_interface) override;
  int WriteReport(int handle, std::span<const uint8_t> report) override;
  // Keeps reading until every byte has arrived or timeout_ms has passed, so a camera that was
  // unplugged mid-frame ends in ETIMEDOUT or ENODEV instead of hanging the program.
  int ReadBulk(int handle, std::span<uint8_t> dest, uint32_t timeout_ms) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace nyxel
