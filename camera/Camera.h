#pragma once
// The camera's state and its USB channels: the scan that finds the command (HID) and image (BlockIO)
// interfaces, the command-report write and the block read. The bytes the camera is told are built in
// CameraProtocol.h; this layer only moves them.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "camera/CameraTransport.h"
#include "core/Clock.h"
#include "core/Host.h"

namespace nyxel {

inline constexpr int kUsbDeviceTableEntries = 20;
inline constexpr size_t kReceiveBufferBytes = 1200000;
inline constexpr size_t kMaxReportPayload = 254;
inline constexpr int kDefaultFocusWindowX = 184;
inline constexpr int kDefaultFocusWindowY = 65;

// One enumerated interface, kept for information only: nothing selects a device by it.
struct UsbDeviceEntry {
  uint16_t VendorId = 0;
  std::string Manufacturer;  // narrowed to 8 bits, at most 127 characters
  uint16_t ProductId = 0;
  std::string Product;
};

// Everything the program knows about the camera. One per running program; tests build their own.
struct Camera {
  Camera(CameraTransport& transport_, Host& host_, Clock& clock_)
      : transport(transport_), host(host_), clock(clock_), ReceiveBuffer(kReceiveBufferBytes) {}

  CameraTransport& transport;
  Host& host;
  Clock& clock;

  // Zero means "not open". Once open they stay open for the life of the program.
  int HidHandle = 0;
  int BlockIOHandle = 0;
  bool CameraPresent = false;
  // User programs cannot mask interrupts on this platform, so this stays false.
  bool InterruptMaskingAllowed = false;
  std::array<UsbDeviceEntry, kUsbDeviceTableEntries> UsbDeviceTable{};
  // Every block read lands at its start; sized once, never reallocated.
  std::vector<uint8_t> ReceiveBuffer;

  // The shared command block and the length of the read that follows a read command.
  std::array<uint8_t, 8> CommandBlock{};
  uint32_t ReadLength = 0;

  // Exposure of the current frame, and the top-left corner of the 128 x 128 window in frame pixels.
  int ExposureMs = 0;
  int FocusWindowX = kDefaultFocusWindowX;  // 3..376
  int FocusWindowY = kDefaultFocusWindowY;  // 1..160
  // A self-guided exposure has had its half-time readout: guide windows now end with code 5, not 4.
  bool HalfTimeReadoutDone = false;
};

// Scans HID interfaces first, then BlockIO ones; the last interface of each class is kept. True when
// at least one interface of either class was enumerated. Sets CameraPresent when both channels are open.
bool FindCamera(Camera& camera, bool debug_mode);

// Writes one report: report id 0 followed by `payload` (at most 254 bytes). Failures are shown.
void WriteUSBdevice(Camera& camera, std::span<const uint8_t> payload);

// Sends CommandBlock as a read command (byte 0 becomes 4) and reads `read_length` bytes from the
// BlockIO channel into ReceiveBuffer in one blocking call. Returns 0, or the error code, which has been
// shown once; the buffer is then stale. A camera that has gone (ENODEV) clears CameraPresent, so the
// next camera command scans again.
int ReadBlockIO(Camera& camera, uint32_t read_length);

// Keeps the low byte of each 16-bit character up to the first NUL, at most 127 characters (the
// 256-byte string buffer).
std::string NarrowUsbString(const std::u16string& text);

}  // namespace nyxel
