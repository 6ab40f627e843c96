#include "tests/camera/usb/UsbTestbed.h"

#include <linux/usb/ch9.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <thread>

#include "camera/CameraProtocol.h"

namespace nyxel::test {
namespace {

constexpr uint8_t kHidInterface = 0;
constexpr uint8_t kVendorInterface = 1;
constexpr uint8_t kInterruptIn = 0x81;
constexpr uint8_t kBulkIn = 0x82;
constexpr uint16_t kBulkPacket = 512;
constexpr uint8_t kSetReport = 0x09;
constexpr uint8_t kSetIdle = 0x0a;
// What a current kernel's usbfs offers; without the packet-size limit libusb submits each transfer whole.
constexpr uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
constexpr const char* kHidDriver = "usbhid";

void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

// Device descriptor and the one configuration: a HID interface with its interrupt IN endpoint and,
// for the camera, a vendor-class interface with the bulk IN endpoint of the images.
// Byte by byte: g++ 12 at -O3 takes a vector insert of a brace list for an overflow that is not there.
void Append(std::vector<uint8_t>& v, std::initializer_list<uint8_t> bytes) {
  for (const uint8_t b : bytes) v.push_back(b);
}

std::vector<uint8_t> Descriptors(const EmulatedDeviceShape& shape) {
  std::vector<uint8_t> d = {18, USB_DT_DEVICE};
  Put16(d, 0x0200);
  Append(d, {0, 0, 0, 64});
  Put16(d, shape.vendor_id);
  Put16(d, shape.product_id);
  Put16(d, 0x0100);
  Append(d, {1, 2, 0, 1});

  std::vector<uint8_t> c = {9, USB_DT_CONFIG, 0, 0, static_cast<uint8_t>(shape.vendor_interface ? 2 : 1), 1,
                            0, 0x80,          50};
  Append(c, {9, USB_DT_INTERFACE, kHidInterface, 0, 1, USB_CLASS_HID, 0, 0, 0});
  Append(c, {9, 0x21, 0x11, 0x01, 0, 1, 0x22, 29, 0});  // HID 1.11, one report descriptor
  Append(c, {7, USB_DT_ENDPOINT, kInterruptIn, USB_ENDPOINT_XFER_INT, 8, 0, 10});
  if (shape.vendor_interface) {
    Append(c, {9, USB_DT_INTERFACE, kVendorInterface, 0, 1, USB_CLASS_VENDOR_SPEC, 0, 0, 3});
    Append(c, {7, USB_DT_ENDPOINT, kBulkIn, USB_ENDPOINT_XFER_BULK, kBulkPacket & 0xFF, kBulkPacket >> 8, 0});
  }
  c[2] = static_cast<uint8_t>(c.size() & 0xFF);
  c[3] = static_cast<uint8_t>(c.size() >> 8);
  d.insert(d.end(), c.begin(), c.end());
  return d;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char pair[3];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    text += pair;
  }
  return text;
}

std::string Narrow(const std::u16string& text) {
  std::string narrow;
  for (char16_t c : text) narrow.push_back(static_cast<char>(c & 0x7F));
  return narrow;
}

const char* RequestName(unsigned long request) {
  switch (request) {
    case USBDEVFS_CONTROL:
      return "CONTROL";
    case USBDEVFS_BULK:
      return "BULK";
    case USBDEVFS_REAPURB:
      return "REAPURB";
    case USBDEVFS_DISCSIGNAL:
      return "DISCSIGNAL";
    case USBDEVFS_CONNINFO_EX(sizeof(usbdevfs_conninfo_ex)):
      return "CONNINFO_EX";
    case USBDEVFS_DROP_PRIVILEGES:
      return "DROP_PRIVILEGES";
    default:
      return nullptr;
  }
}

// A retired node: the device has left, and so every request fails as the kernel fails it.
int DeadIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void*) {
  umockdev_ioctl_client_complete(client, -1, ENODEV);
  return TRUE;
}

}  // namespace

UsbTestbed::UsbTestbed() : testbed_(umockdev_testbed_new()) {}

UsbTestbed::~UsbTestbed() {
  for (auto& [handler, devnode] : retired_) {
    GError* error = nullptr;
    umockdev_testbed_detach_ioctl(testbed_, devnode.c_str(), &error);
    g_clear_error(&error);
    g_object_unref(handler);
  }
  if (testbed_ != nullptr) g_object_unref(testbed_);
}

void UsbTestbed::Retire(UMockdevIoctlBase* handler, const std::string& devnode) {
  g_signal_connect(handler, "handle-ioctl", G_CALLBACK(&DeadIoctl), nullptr);
  retired_.emplace_back(handler, devnode);
}

bool UsbTestbed::Retired(const std::string& devnode) const {
  return std::any_of(retired_.begin(), retired_.end(), [&](const auto& r) { return r.second == devnode; });
}

std::string UsbTestbed::WhyUnusable() {
  // The preload library must be in this process; the testbed alone only builds a directory tree.
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  bool preloaded = false;
  char line[512];
  while (maps != nullptr && !preloaded && std::fgets(line, sizeof line, maps) != nullptr) {
    preloaded = std::strstr(line, "libumockdev-preload") != nullptr;
  }
  if (maps != nullptr) std::fclose(maps);
  if (!preloaded) return "not running under umockdev-wrapper (its preload library emulates the USB bus)";
  // And it must show this process the testbed's sysfs in place of the real one.
  gchar* probe = umockdev_testbed_add_device(testbed_, "usb", "nyxel-probe", nullptr, "idVendor", "abcd",
                                             nullptr, nullptr);
  std::string seen;
  if (probe != nullptr) {
    if (std::FILE* file = std::fopen((std::string(probe) + "/idVendor").c_str(), "r")) {
      char text[16] = {};
      if (std::fgets(text, sizeof text, file) != nullptr) seen = text;
      std::fclose(file);
    }
    umockdev_testbed_uevent(testbed_, probe, "remove");
    umockdev_testbed_remove_device(testbed_, probe);
    g_free(probe);
  }
  if (seen.rfind("abcd", 0) != 0) return "umockdev's emulated sysfs is not visible in this process";
  return {};
}

EmulatedCamera::EmulatedCamera(UsbTestbed& bed, CameraTransport& brain, EmulatedDeviceShape shape)
    : bed_(bed), brain_(brain), shape_(shape), hid_driver_bound_(shape.hid_driver_bound) {
  // The brain's own interfaces and names.
  std::vector<UsbInterface> hid, blockio;
  brain_.ListInterfaces(UsbClass::Hid, hid);
  brain_.ListInterfaces(UsbClass::BlockIO, blockio);
  if (!hid.empty()) brain_hid_ = brain_.Open(UsbClass::Hid, hid.front());
  if (!blockio.empty()) brain_blockio_ = brain_.Open(UsbClass::BlockIO, blockio.front());
  strings_ = {hid.empty() || !hid.front().manufacturer ? u"" : *hid.front().manufacturer,
              hid.empty() || !hid.front().product ? u"" : *hid.front().product,
              blockio.empty() || !blockio.front().product ? u"" : *blockio.front().product};
  descriptors_ = Descriptors(shape_);

  char bus[8], address[8], node[32], path[96], vid[8], pid[8];
  std::snprintf(bus, sizeof bus, "%03d", shape_.bus);
  std::snprintf(address, sizeof address, "%03d", shape_.address);
  std::snprintf(node, sizeof node, "bus/usb/%s/%s", bus, address);
  std::snprintf(path, sizeof path, "/devices/pci0000:00/0000:00:14.0/usb%d/%d-%d", shape_.bus, shape_.bus,
                shape_.address);
  std::snprintf(vid, sizeof vid, "%04x", shape_.vendor_id);
  std::snprintf(pid, sizeof pid, "%04x", shape_.product_id);
  const std::string interfaces = shape_.vendor_interface ? ":030000:ff0000:" : ":030101:";
  std::string record =
      std::string("P: ") + path + "\nN: " + node + "\nE: DEVNAME=/dev/" + node +
      "\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: SUBSYSTEM=usb\nE: BUSNUM=" + bus +
      "\nE: DEVNUM=" + address + "\nE: ID_VENDOR_ID=" + vid + "\nE: ID_MODEL_ID=" + pid +
      "\nE: ID_USB_INTERFACES=" + interfaces + "\nA: busnum=" + std::to_string(shape_.bus) +
      "\nA: devnum=" + std::to_string(shape_.address) +
      "\nA: speed=480\nA: bConfigurationValue=1\nA: bNumConfigurations=1\nA: bNumInterfaces=" +
      (shape_.vendor_interface ? " 2" : " 1") + "\nA: idVendor=" + vid + "\nA: idProduct=" + pid +
      "\nA: bcdDevice=0100\nA: bDeviceClass=00\nA: manufacturer=" + Narrow(strings_[0]) +
      "\nA: product=" + Narrow(strings_[1]) + "\nH: descriptors=" + Hex(descriptors_) + "\n";
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(bed_.testbed(), record.c_str(), &error)) {
    std::fprintf(stderr, "umockdev refused the device: %s\n", error != nullptr ? error->message : "?");
    g_clear_error(&error);
    return;
  }
  sysfs_path_ = std::string("/sys") + path;
  devnode_ = std::string("/dev/") + node;
  if (bed_.Retired(devnode_)) {
    // A client still holds the node of the device that was here; it keeps getting ENODEV.
    std::fprintf(stderr, "%s is still open from a device that left\n", devnode_.c_str());
    return;
  }
  handler_ = umockdev_ioctl_base_new();
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&EmulatedCamera::OnIoctl), this);
  g_signal_connect(handler_, "client-connected", G_CALLBACK(&EmulatedCamera::OnConnected), this);
  if (!umockdev_testbed_attach_ioctl(bed_.testbed(), devnode_.c_str(), handler_, &error)) {
    std::fprintf(stderr, "umockdev could not attach to %s: %s\n", devnode_.c_str(),
                 error != nullptr ? error->message : "?");
    g_clear_error(&error);
  }
}

EmulatedCamera::~EmulatedCamera() {
  if (handler_ != nullptr) {
    g_signal_handlers_disconnect_by_data(handler_, this);
    if (!WaitUntilClosed(100)) {
      bed_.Retire(handler_, devnode_);
    } else {
      GError* error = nullptr;
      umockdev_testbed_detach_ioctl(bed_.testbed(), devnode_.c_str(), &error);
      g_clear_error(&error);
      g_object_unref(handler_);
    }
  }
  Remove();
  std::lock_guard lock(mutex_);
  for (auto* queue : {&pending_bulk_, &pending_other_, &completed_}) {
    for (Urb& urb : *queue) Release(urb);
    queue->clear();
  }
  for (UMockdevIoctlClient* client : clients_) g_object_unref(client);
}

// Off the bus: udev tells its listeners (libusb's hotplug thread), then the sysfs entry and node go.
void EmulatedCamera::Remove() {
  if (removed_ || sysfs_path_.empty()) return;
  umockdev_testbed_uevent(bed_.testbed(), sysfs_path_.c_str(), "remove");
  umockdev_testbed_remove_device(bed_.testbed(), sysfs_path_.c_str());
  removed_ = true;
}

void EmulatedCamera::OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  auto* device = static_cast<EmulatedCamera*>(self);
  std::lock_guard lock(device->mutex_);
  device->clients_.push_back(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
}

int EmulatedCamera::OpenClients() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(clients_.begin(), clients_.end(), [](UMockdevIoctlClient* c) {
    return umockdev_ioctl_client_get_connected(c);
  }));
}

bool EmulatedCamera::WaitUntilClosed(int milliseconds) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (OpenClients() > 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

void EmulatedCamera::Release(Urb& urb) {
  if (urb.buffer != nullptr) g_object_unref(urb.buffer);
  if (urb.urb != nullptr) g_object_unref(urb.urb);
  urb.buffer = urb.urb = nullptr;
}

void EmulatedCamera::SetChunkBytes(size_t bytes) {
  std::lock_guard lock(mutex_);
  chunk_bytes_ = std::max<size_t>(bytes, 1);
}

void EmulatedCamera::UnplugAtSubmission(int n) {
  std::lock_guard lock(mutex_);
  unplug_at_submission_ = n;
}

void EmulatedCamera::StallBulk() {
  std::lock_guard lock(mutex_);
  stall_bulk_ = true;
}

void EmulatedCamera::UnplugAfter(size_t bytes) {
  std::lock_guard lock(mutex_);
  unplug_after_ = bytes;
}

void EmulatedCamera::Unplug() {
  {
    std::lock_guard lock(mutex_);
    GoAway();
  }
  Remove();
}

std::string EmulatedCamera::Property(const char* name) const {
  gchar* value = umockdev_testbed_get_property(bed_.testbed(), sysfs_path_.c_str(), name);
  std::string text = value != nullptr ? value : "";
  g_free(value);
  return text;
}

std::vector<EmulatedCamera::ControlTransfer> EmulatedCamera::Controls() const {
  std::lock_guard lock(mutex_);
  return controls_;
}

std::vector<std::vector<uint8_t>> EmulatedCamera::Reports() const {
  std::lock_guard lock(mutex_);
  return reports_;
}

size_t EmulatedCamera::BulkBytesSent() const {
  std::lock_guard lock(mutex_);
  return bulk_sent_;
}

bool EmulatedCamera::HidDriverBound() const {
  std::lock_guard lock(mutex_);
  return hid_driver_bound_;
}

std::vector<int> EmulatedCamera::ClaimedInterfaces() const {
  std::lock_guard lock(mutex_);
  return claimed_;
}

bool EmulatedCamera::Gone() const {
  std::lock_guard lock(mutex_);
  return gone_;
}

std::vector<std::string> EmulatedCamera::UnknownRequests() const {
  std::lock_guard lock(mutex_);
  return unknown_;
}

int EmulatedCamera::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  return static_cast<EmulatedCamera*>(self)->HandleIoctl(client) ? TRUE : FALSE;
}

// The kernel's side of usbfs for this one device. Called on umockdev's worker thread, one request at
// a time; libusb works asynchronously (submit, then reap when the descriptor polls ready).
bool EmulatedCamera::HandleIoctl(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  std::lock_guard lock(mutex_);
  // Reaping what completed still works after a disconnect; nothing else does.
  if (gone_ && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_DISCARDURB) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return true;
  }
  auto resolve = [arg](size_t length) { return umockdev_ioctl_data_resolve(arg, 0, length, nullptr); };
  auto interface_number = [&](unsigned int& number) {
    UMockdevIoctlData* data = resolve(sizeof(unsigned int));
    if (data == nullptr) return false;
    std::memcpy(&number, data->data, sizeof number);
    g_object_unref(data);
    return true;
  };
  auto has_interface = [this](unsigned int number) {
    return number == kHidInterface || (shape_.vendor_interface && number == kVendorInterface);
  };
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* data = resolve(sizeof(uint32_t));
      if (data == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
      }
      std::memcpy(data->data, &kCapabilities, sizeof kCapabilities);
      umockdev_ioctl_client_complete(client, 0, 0);
      g_object_unref(data);
      return true;
    }
    case USBDEVFS_GET_SPEED:
      umockdev_ioctl_client_complete(client, USB_SPEED_HIGH, 0);
      return true;
    case USBDEVFS_CONNECTINFO: {
      UMockdevIoctlData* data = resolve(sizeof(usbdevfs_connectinfo));
      if (data != nullptr) {
        usbdevfs_connectinfo info{static_cast<unsigned int>(shape_.address), 0};
        std::memcpy(data->data, &info, sizeof info);
      }
      umockdev_ioctl_client_complete(client, data != nullptr ? 0 : -1, data != nullptr ? 0 : EFAULT);
      if (data != nullptr) g_object_unref(data);
      return true;
    }
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_RESET:
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    case USBDEVFS_CLAIMINTERFACE: {
      unsigned int number = 0;
      if (!interface_number(number) || !has_interface(number)) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
      } else if (shape_.held_elsewhere || (number == kHidInterface && hid_driver_bound_)) {
        umockdev_ioctl_client_complete(client, -1, EBUSY);  // usbhid holds it
      } else {
        if (std::find(claimed_.begin(), claimed_.end(), static_cast<int>(number)) == claimed_.end())
          claimed_.push_back(static_cast<int>(number));
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      return true;
    }
    case USBDEVFS_RELEASEINTERFACE: {
      unsigned int number = 0;
      auto it = claimed_.end();
      if (interface_number(number))
        it = std::find(claimed_.begin(), claimed_.end(), static_cast<int>(number));
      if (it == claimed_.end()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
      } else {
        claimed_.erase(it);
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      return true;
    }
    case USBDEVFS_GETDRIVER: {
      UMockdevIoctlData* data = resolve(sizeof(usbdevfs_getdriver));
      if (data == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
      }
      auto* query = reinterpret_cast<usbdevfs_getdriver*>(data->data);
      if (!has_interface(query->interface)) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
      } else if (query->interface == kHidInterface && hid_driver_bound_) {
        std::snprintf(query->driver, sizeof query->driver, "%s", kHidDriver);
        umockdev_ioctl_client_complete(client, 0, 0);
      } else {
        umockdev_ioctl_client_complete(client, -1, ENODATA);
      }
      g_object_unref(data);
      return true;
    }
    case USBDEVFS_IOCTL: {
      UMockdevIoctlData* data = resolve(sizeof(usbdevfs_ioctl));
      if (data == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
      }
      usbdevfs_ioctl command;
      std::memcpy(&command, data->data, sizeof command);
      g_object_unref(data);
      const bool hid = command.ifno == kHidInterface;
      if (!has_interface(static_cast<unsigned int>(command.ifno))) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
      } else if (command.ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
        const bool bound = hid && hid_driver_bound_;
        if (hid) hid_driver_bound_ = false;
        umockdev_ioctl_client_complete(client, bound ? 0 : -1, bound ? 0 : ENODATA);
      } else if (command.ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
        if (hid && std::find(claimed_.begin(), claimed_.end(), kHidInterface) == claimed_.end())
          hid_driver_bound_ = true;
        umockdev_ioctl_client_complete(client, 0, 0);
      } else {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
      }
      return true;
    }
    case USBDEVFS_DISCONNECT_CLAIM: {
      UMockdevIoctlData* data = resolve(sizeof(usbdevfs_disconnect_claim));
      if (data == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
      }
      usbdevfs_disconnect_claim command;
      std::memcpy(&command, data->data, sizeof command);
      g_object_unref(data);
      command.driver[sizeof command.driver - 1] = 0;
      const bool bound = command.interface == kHidInterface && hid_driver_bound_;
      bool detach = bound;
      if (bound && (command.flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER))
        detach = std::strcmp(command.driver, kHidDriver) == 0;
      if (bound && (command.flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER))
        detach = std::strcmp(command.driver, kHidDriver) != 0;
      if (!has_interface(command.interface)) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
      } else if (shape_.held_elsewhere || (bound && !detach)) {
        umockdev_ioctl_client_complete(client, -1, EBUSY);
      } else {
        if (bound) hid_driver_bound_ = false;
        if (std::find(claimed_.begin(), claimed_.end(), static_cast<int>(command.interface)) ==
            claimed_.end())
          claimed_.push_back(static_cast<int>(command.interface));
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      return true;
    }
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    case USBDEVFS_SUBMITURB:
      SubmitUrb(client);
      return true;
    case USBDEVFS_REAPURBNDELAY:
      ReapUrb(client);
      return true;
    case USBDEVFS_DISCARDURB:
      DiscardUrb(client);
      return true;
    default: {
      const char* name = RequestName(request);
      char number[32];
      std::snprintf(number, sizeof number, "0x%lx", request);
      unknown_.push_back(name != nullptr ? name : number);
      umockdev_ioctl_client_complete(client, -1, ENOTTY);
      return true;
    }
  }
}

void EmulatedCamera::SubmitUrb(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  UMockdevIoctlData* urb_data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  if (urb_data == nullptr) {
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return;
  }
  auto* urb = reinterpret_cast<usbdevfs_urb*>(urb_data->data);
  UMockdevIoctlData* buffer = nullptr;
  if (urb->buffer_length < 0) {
    g_object_unref(urb_data);
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return;
  }
  if (urb->buffer_length > 0) {
    buffer = umockdev_ioctl_data_resolve(urb_data, offsetof(usbdevfs_urb, buffer),
                                         static_cast<size_t>(urb->buffer_length), nullptr);
    if (buffer == nullptr) {
      g_object_unref(urb_data);
      umockdev_ioctl_client_complete(client, -1, EFAULT);
      return;
    }
  }
  Urb entry{urb_data, buffer, urb_data->client_addr};
  urb->status = 0;
  urb->actual_length = 0;
  if (urb->type == USBDEVFS_URB_TYPE_CONTROL && urb->endpoint == 0) {
    if (buffer == nullptr || urb->buffer_length < 8) {
      Release(entry);
      umockdev_ioctl_client_complete(client, -1, EINVAL);
      return;
    }
    int length = urb->buffer_length - 8;
    urb->status = Control(buffer->data, buffer->data + 8, length);
    urb->actual_length = urb->status == 0 ? length : 0;
    completed_.push_back(entry);
  } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == kBulkIn && shape_.vendor_interface) {
    if (++bulk_submissions_ == unplug_at_submission_) {
      Release(entry);
      GoAway();
      umockdev_ioctl_client_complete(client, -1, ENODEV);
      return;
    }
    if (stall_bulk_) {
      urb->status = -EPIPE;
      completed_.push_back(entry);
    } else {
      // Served when the client next reaps: a real transfer's URBs are all queued before data flows.
      pending_bulk_.push_back(entry);
    }
  } else if (urb->type == USBDEVFS_URB_TYPE_INTERRUPT && urb->endpoint == kInterruptIn) {
    pending_other_.push_back(entry);  // the camera never reports on its interrupt endpoint
  } else {
    Release(entry);
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return;
  }
  umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedCamera::ReapUrb(UMockdevIoctlClient* client) {
  if (completed_.empty()) ServeBulk();
  if (completed_.empty()) {
    umockdev_ioctl_client_complete(client, -1, gone_ ? ENODEV : EAGAIN);
    return;
  }
  Urb urb = completed_.front();
  completed_.pop_front();
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
  if (pointer == nullptr) {
    completed_.push_front(urb);
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return;
  }
  // The client learns which urb completed; its status, length and data go back with it.
  umockdev_ioctl_data_set_ptr(pointer, 0, urb.urb);
  umockdev_ioctl_client_complete(client, 0, 0);
  g_object_unref(pointer);
  Release(urb);
}

void EmulatedCamera::DiscardUrb(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  unsigned long address = 0;
  std::memcpy(&address, arg->data, std::min<size_t>(sizeof address, static_cast<size_t>(arg->data_len)));
  for (auto* queue : {&pending_bulk_, &pending_other_}) {
    for (auto it = queue->begin(); it != queue->end(); ++it) {
      if (it->client_addr != address) continue;
      reinterpret_cast<usbdevfs_urb*>(it->urb->data)->status = -ENOENT;
      completed_.push_back(*it);
      queue->erase(it);
      umockdev_ioctl_client_complete(client, 0, 0);
      return;
    }
  }
  umockdev_ioctl_client_complete(client, -1, EINVAL);
}

int EmulatedCamera::Control(const uint8_t* setup, uint8_t* data, int& length) {
  ControlTransfer transfer{setup[0],
                           setup[1],
                           static_cast<uint16_t>(setup[2] | (setup[3] << 8)),
                           static_cast<uint16_t>(setup[4] | (setup[5] << 8)),
                           {}};
  const int requested = std::min(length, setup[6] | (setup[7] << 8));
  const bool out = (transfer.request_type & USB_DIR_IN) == 0;
  if (out) transfer.data.assign(data, data + requested);
  controls_.push_back(transfer);

  auto reply = [&](const uint8_t* bytes, size_t size) {
    length = static_cast<int>(std::min<size_t>(size, static_cast<size_t>(requested)));
    std::memcpy(data, bytes, static_cast<size_t>(length));
    return 0;
  };
  if (transfer.request_type == (USB_DIR_IN | USB_TYPE_STANDARD | USB_RECIP_DEVICE)) {
    if (transfer.request == USB_REQ_GET_STATUS) {
      const uint8_t status[2] = {0, 0};  // bus powered, no remote wake-up
      return reply(status, sizeof status);
    }
    if (transfer.request == USB_REQ_GET_CONFIGURATION) {
      const uint8_t configuration = 1;
      return reply(&configuration, 1);
    }
    if (transfer.request != USB_REQ_GET_DESCRIPTOR) return -EPIPE;
    const int type = transfer.value >> 8, index = transfer.value & 0xFF;
    if (type == USB_DT_DEVICE) return reply(descriptors_.data(), 18);
    if (type == USB_DT_CONFIG && index == 0) return reply(descriptors_.data() + 18, descriptors_.size() - 18);
    if (type == USB_DT_STRING && index == 0) {
      const uint8_t languages[4] = {4, USB_DT_STRING, 0x09, 0x04};
      return reply(languages, sizeof languages);
    }
    if (type == USB_DT_STRING && index <= static_cast<int>(strings_.size()) && transfer.index == 0x0409) {
      const std::u16string& text = strings_[index - 1];
      std::vector<uint8_t> descriptor = {static_cast<uint8_t>(2 + 2 * text.size()), USB_DT_STRING};
      for (char16_t c : text) Put16(descriptor, static_cast<uint16_t>(c));
      return reply(descriptor.data(), descriptor.size());
    }
    return -EPIPE;
  }
  if (transfer.request_type == (USB_DIR_OUT | USB_TYPE_CLASS | USB_RECIP_INTERFACE) &&
      transfer.index == kHidInterface) {
    if (transfer.request == kSetIdle) {
      length = 0;
      return 0;
    }
    // SET_REPORT of an output report (type 2). With report id 0 the id is not on the wire; any other id
    // leads the data stage, as HID has it.
    if (transfer.request != kSetReport || (transfer.value >> 8) != 2) return -EPIPE;
    const uint8_t report_id = transfer.value & 0xFF;
    std::vector<uint8_t> report;
    report.reserve(transfer.data.size() + 1);
    if (report_id == 0) report.push_back(0);
    // Byte by byte: g++ 12 at -O3 misreads a range insert here as an overread.
    for (const uint8_t b : transfer.data) report.push_back(b);
    if (report_id != 0 && (report.empty() || report[0] != report_id)) return -EPIPE;
    reports_.push_back(report);
    if (brain_hid_ == 0 || brain_.WriteReport(brain_hid_, report) != 0) return -EPIPE;
    length = requested;
    PrepareRead(report);
    return 0;
  }
  return -EPIPE;
}

// A read command: the camera has its block ready for the bulk endpoint, a window or a whole frame.
void EmulatedCamera::PrepareRead(const std::vector<uint8_t>& report) {
  if (report.size() != 9 || report[1] != 4 || brain_blockio_ == 0) return;
  std::vector<uint8_t> block(report[8] == 1 ? kWindowReadLength : kFullFrameReadLength);
  if (brain_.ReadBulk(brain_blockio_, block, 0) != 0) return;
  stream_ = std::move(block);
  stream_sent_ = 0;
  bulk_submissions_ = 0;
}

void EmulatedCamera::ServeBulk() {
  while (!gone_ && !pending_bulk_.empty() && stream_sent_ < stream_.size()) {
    if (stream_sent_ >= unplug_after_) {
      GoAway();
      return;
    }
    Urb urb = pending_bulk_.front();
    pending_bulk_.pop_front();
    auto* header = reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
    size_t n = std::min({static_cast<size_t>(header->buffer_length), stream_.size() - stream_sent_,
                         chunk_bytes_, unplug_after_ - stream_sent_});
    std::memcpy(urb.buffer->data, stream_.data() + stream_sent_, n);
    stream_sent_ += n;
    bulk_sent_ += n;
    header->actual_length = static_cast<int>(n);
    header->status = 0;
    completed_.push_back(urb);
  }
  if (!gone_ && stream_sent_ >= unplug_after_ && stream_sent_ < stream_.size()) GoAway();
}

// The cable is out: what is in flight ends as the host controller ends it.
void EmulatedCamera::GoAway() {
  if (gone_) return;
  gone_ = true;
  for (auto* queue : {&pending_bulk_, &pending_other_}) {
    for (Urb& urb : *queue) {
      reinterpret_cast<usbdevfs_urb*>(urb.urb->data)->status = -ESHUTDOWN;
      completed_.push_back(urb);
    }
    queue->clear();
  }
}

}  // namespace nyxel::test
