#pragma once
// An emulated USB bus for the libusb transport: umockdev gives libusb a sysfs tree and device nodes,
// and each EmulatedCamera answers the usbfs ioctls of its node the way the kernel and the camera would.
// The camera's answers (the command reports and the bulk frame data) come from a CameraTransport brain,
// normally SimulatedCamera, so frames through libusb can be compared with the in-process simulator.
//
// The program must run under umockdev-wrapper (the preload library), and the testbed must exist before
// libusb starts.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "camera/CameraTransport.h"

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace nyxel::test {

class UsbTestbed {
 public:
  UsbTestbed();
  ~UsbTestbed();
  UsbTestbed(const UsbTestbed&) = delete;
  UsbTestbed& operator=(const UsbTestbed&) = delete;

  // Empty when the emulation works in this process, else why not (for the test's skip message).
  std::string WhyUnusable();

  UMockdevTestbed* testbed() const { return testbed_; }

  // Takes over the ioctl handler of a device that left while a client still had its node open: like
  // the kernel's, that descriptor keeps failing with ENODEV instead of falling through to the bare node.
  void Retire(UMockdevIoctlBase* handler, const std::string& devnode);
  bool Retired(const std::string& devnode) const;

 private:
  UMockdevTestbed* testbed_ = nullptr;
  std::vector<std::pair<UMockdevIoctlBase*, std::string>> retired_;
};

struct EmulatedDeviceShape {
  int bus = 1;
  int address = 11;
  // The simulator's ids. The udev rule goes by the two interfaces, not by the ids.
  uint16_t vendor_id = 0x1d6b;
  uint16_t product_id = 0x0109;
  bool vendor_interface = true;  // false: a plain HID device (a keyboard), no image interface
  bool hid_driver_bound = true;  // usbhid has the HID interface until someone detaches it
  bool held_elsewhere = false;   // another program has claimed both interfaces
};

// One device on the bus. Everything it saw is kept for the test; all members are safe to read from the
// test thread while the device answers from umockdev's worker thread.
class EmulatedCamera {
 public:
  // `brain` answers the reports and delivers the blocks; it must outlive the device.
  EmulatedCamera(UsbTestbed& bed, CameraTransport& brain, EmulatedDeviceShape shape = {});
  ~EmulatedCamera();
  EmulatedCamera(const EmulatedCamera&) = delete;
  EmulatedCamera& operator=(const EmulatedCamera&) = delete;

  // A control transfer as it arrived on endpoint 0: the setup packet and the data stage.
  struct ControlTransfer {
    uint8_t request_type;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    std::vector<uint8_t> data;
  };

  // Faults. The camera completes at most this many bytes per bulk transfer (less than a transfer asks
  // for ends it with a short packet).
  void SetChunkBytes(size_t bytes);
  // The cable comes out once this many image bytes of the current read have gone out.
  void UnplugAfter(size_t bytes);
  // The cable comes out while the host is still queueing a read: the n-th bulk submission (from 1)
  // fails with ENODEV and what was queued before it ends.
  void UnplugAtSubmission(int n);
  // The bulk endpoint halts: every bulk transfer ends with a stall (EPIPE); the device stays.
  void StallBulk();
  // The cable comes out now: transfers in flight end, every later request fails with ENODEV and the
  // device leaves the bus (sysfs and node).
  void Unplug();

  std::vector<ControlTransfer> Controls() const;
  // The HID reports as the camera got them: report id first, then the data stage.
  std::vector<std::vector<uint8_t>> Reports() const;
  size_t BulkBytesSent() const;
  bool HidDriverBound() const;
  std::vector<int> ClaimedInterfaces() const;
  bool Gone() const;
  int OpenClients() const;
  // umockdev learns of a closed descriptor on its own thread, a moment after close() returned.
  bool WaitUntilClosed(int milliseconds) const;
  // Requests the device does not know, as "name or number".
  std::vector<std::string> UnknownRequests() const;

  // A udev property of the device, as udev rules see it.
  std::string Property(const char* name) const;
  const std::string& sysfs_path() const { return sysfs_path_; }
  const std::string& devnode() const { return devnode_; }

 private:
  struct Urb {
    UMockdevIoctlData* urb;     // the client's struct usbdevfs_urb (one reference held)
    UMockdevIoctlData* buffer;  // its data buffer, nullptr for none
    unsigned long client_addr;
  };

  static int OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
  static void OnConnected(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
  bool HandleIoctl(UMockdevIoctlClient* client);
  void SubmitUrb(UMockdevIoctlClient* client);
  void ReapUrb(UMockdevIoctlClient* client);
  void DiscardUrb(UMockdevIoctlClient* client);
  // Returns the urb status (0 or a negative errno) and the data-stage length.
  int Control(const uint8_t* setup, uint8_t* data, int& length);
  void PrepareRead(const std::vector<uint8_t>& report);
  void ServeBulk();
  void GoAway();
  void Remove();
  static void Release(Urb& urb);

  UsbTestbed& bed_;
  CameraTransport& brain_;
  EmulatedDeviceShape shape_;
  int brain_hid_ = 0, brain_blockio_ = 0;
  std::vector<uint8_t> descriptors_;
  std::vector<std::u16string> strings_;
  std::string sysfs_path_, devnode_;
  UMockdevIoctlBase* handler_ = nullptr;
  bool removed_ = false;

  mutable std::mutex mutex_;
  std::deque<Urb> pending_bulk_, pending_other_, completed_;
  std::vector<uint8_t> stream_;  // the image bytes of the current read
  size_t stream_sent_ = 0;
  size_t chunk_bytes_ = SIZE_MAX;
  size_t unplug_after_ = SIZE_MAX;
  int unplug_at_submission_ = 0;
  int bulk_submissions_ = 0;
  bool stall_bulk_ = false;
  size_t bulk_sent_ = 0;
  bool gone_ = false;
  std::vector<UMockdevIoctlClient*> clients_;  // every open of the node, one reference each
  bool hid_driver_bound_;
  std::vector<int> claimed_;
  std::vector<ControlTransfer> controls_;
  std::vector<std::vector<uint8_t>> reports_;
  std::vector<std::string> unknown_;
};

}  // namespace nyxel::test
