#include "camera/Camera.h"

#include <sys/utsname.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/Messages.h"

namespace nyxel {
namespace {

// The camera reads out a full frame in two to three seconds after the exposure it timed itself; a read
// that has not finished well after that will not finish at all (an unplugged camera).
constexpr uint32_t kReadoutAllowanceMs = 10000;
constexpr size_t kUsbStringChars = 127;
constexpr const char* kNotPresent = "- not present -";

void ShowStopBox(Host& host, const char* text) {
  host.MessageBox(text, "Error", MessageIcon::Stop, MessageButtons::Ok);
}

void OsVersion(int& major, int& minor) {
  major = 0;
  minor = 0;
  utsname name{};
  if (uname(&name) == 0) std::sscanf(name.release, "%d.%d", &major, &minor);
}

// One pass over the interfaces of one class. False when the scan must stop at once.
bool ScanClass(Camera& camera, UsbClass usb_class, bool& found) {
  std::vector<UsbInterface> interfaces;
  if (!camera.transport.ListInterfaces(usb_class, interfaces)) {
    ShowMessage(camera.host, kOwnTextMessage, "Could not attach to PnP node");
    return false;
  }
  for (int index = 0; index < kUsbDeviceTableEntries; ++index) {
    UsbDeviceEntry& entry = camera.UsbDeviceTable[index];
    if (static_cast<size_t>(index) >= interfaces.size()) {
      entry.VendorId = 0;
      continue;
    }
    found = true;
    const UsbInterface& usb_interface = interfaces[index];
    if (!usb_interface.has_system_name) {
      ShowStopBox(camera.host, "Could not find the system name for this HID device");
      return false;
    }
    const int handle = camera.transport.Open(usb_class, usb_interface);
    if (handle == 0) {
      ShowStopBox(camera.host, "Could not open HID device");
      return false;
    }
    (usb_class == UsbClass::Hid ? camera.HidHandle : camera.BlockIOHandle) = handle;
    entry.VendorId = usb_interface.vendor_id;
    entry.ProductId = usb_interface.product_id;
    entry.Manufacturer =
        usb_interface.manufacturer ? NarrowUsbString(*usb_interface.manufacturer) : kNotPresent;
    if (usb_class == UsbClass::Hid) {
      entry.Product = usb_interface.product ? NarrowUsbString(*usb_interface.product) : kNotPresent;
    } else {
      // The image interface's product text is taken from the reply buffer whether or not it was filled.
      entry.Product = usb_interface.product ? NarrowUsbString(*usb_interface.product) : std::string();
    }
  }
  return true;
}

void ShowCodeMessage(Host& host, const char* format, int code) {
  char text[96];
  std::snprintf(text, sizeof text, format, code);
  ShowMessage(host, kOwnTextMessage, text);
}

}  // namespace

std::string NarrowUsbString(const std::u16string& text) {
  std::string narrow;
  for (char16_t c : text) {
    if (c == 0 || narrow.size() == kUsbStringChars) break;
    narrow.push_back(static_cast<char>(c & 0xFF));
  }
  return narrow;
}

bool FindCamera(Camera& camera, bool debug_mode) {
  bool found = false;
  // A camera that went away left its handles behind; only what this scan opens counts.
  if (!camera.CameraPresent) camera.HidHandle = camera.BlockIOHandle = 0;
  for (UsbClass usb_class : {UsbClass::Hid, UsbClass::BlockIO}) {
    if (!ScanClass(camera, usb_class, found)) return false;
  }
  if (camera.HidHandle == 0 || camera.BlockIOHandle == 0) {
    ShowMessage(camera.host, kOwnTextMessage, "USB BlockIO device not found");
    camera.CameraPresent = false;
    return found;
  }
  camera.InterruptMaskingAllowed = false;
  if (debug_mode) {
    int major = 0, minor = 0;
    OsVersion(major, minor);
    char text[128];
    std::snprintf(text, sizeof text, "Camera Found, Hid = %6d, BlockIO = %6d\nO/S = %4d.%4d",
                  camera.HidHandle, camera.BlockIOHandle, major, minor);
    ShowMessage(camera.host, kOwnTextMessage, text);
  }
  camera.CameraPresent = true;
  return found;
}

void WriteUSBdevice(Camera& camera, std::span<const uint8_t> payload) {
  if (payload.size() > kMaxReportPayload) {
    ShowMessage(camera.host, kOwnTextMessage, "Maximum ByteCount for WriteUSBdevice is 254");
    return;
  }
  std::array<uint8_t, kMaxReportPayload + 1> report{};
  std::copy(payload.begin(), payload.end(), report.begin() + 1);
  const int error = camera.HidHandle == 0
                        ? EBADF
                        : camera.transport.WriteReport(
                              camera.HidHandle, std::span<const uint8_t>(report.data(), payload.size() + 1));
  if (error != 0) ShowCodeMessage(camera.host, "Error %d trying to send command to USB \n", error);
  if (error == ENODEV) camera.CameraPresent = false;
}

int ReadBlockIO(Camera& camera, uint32_t read_length) {
  camera.CommandBlock[0] = 4;
  WriteUSBdevice(camera, camera.CommandBlock);
  // Never read past the buffer, whatever length is asked for.
  const size_t length = std::min<size_t>(read_length, camera.ReceiveBuffer.size());
  const uint32_t camera_timed_ms = camera.CommandBlock[1] | (camera.CommandBlock[2] << 8);
  int error = camera.BlockIOHandle == 0
                  ? EBADF
                  : camera.transport.ReadBulk(camera.BlockIOHandle,
                                              std::span<uint8_t>(camera.ReceiveBuffer.data(), length),
                                              camera_timed_ms + kReadoutAllowanceMs);
  if (error == 0 && length < read_length) error = EINVAL;
  if (error != 0) ShowCodeMessage(camera.host, "Error %d trying to read BlockIO data from USB\n", error);
  if (error == ENODEV) camera.CameraPresent = false;
  return error;
}

}  // namespace nyxel
