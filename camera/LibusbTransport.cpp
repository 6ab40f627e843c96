#include "camera/LibusbTransport.h"

#include <libusb.h>

#include <cerrno>
#include <chrono>
#include <map>

namespace nyxel {
namespace {

constexpr uint8_t kClassHid = LIBUSB_CLASS_HID;
constexpr uint8_t kClassVendor = LIBUSB_CLASS_VENDOR_SPEC;
constexpr unsigned kControlTimeoutMs = 1000;
constexpr unsigned kStatusTimeoutMs = 200;
// Host to device, class request, to an interface: the HID SET_REPORT of an output report (type 2).
constexpr uint8_t kSetReportRequestType = 0x21;
constexpr uint8_t kSetReport = 0x09;

// libusb results as errno codes, the numbers the program's messages show.
int ErrnoFrom(int result) {
  switch (result) {
    case LIBUSB_ERROR_TIMEOUT:
      return ETIMEDOUT;
    case LIBUSB_ERROR_NO_DEVICE:
      return ENODEV;
    case LIBUSB_ERROR_PIPE:
      return EPIPE;
    case LIBUSB_ERROR_ACCESS:
      return EACCES;
    case LIBUSB_ERROR_BUSY:
      return EBUSY;
    case LIBUSB_ERROR_OVERFLOW:
      return EOVERFLOW;
    case LIBUSB_ERROR_NOT_FOUND:
      return ENOENT;
    case LIBUSB_ERROR_NO_MEM:
      return ENOMEM;
    case LIBUSB_ERROR_INVALID_PARAM:
      return EINVAL;
    default:
      return EIO;
  }
}

// Where a device sits on the bus; with the interface number it names one interface.
uint64_t DeviceKey(libusb_device* device) {
  return (static_cast<uint64_t>(libusb_get_bus_number(device)) << 16) |
         (static_cast<uint64_t>(libusb_get_device_address(device)) << 8);
}

// The camera's two interfaces on one device.
struct CameraInterfaces {
  int hid = -1;
  int bulk = -1;
  uint8_t bulk_in_endpoint = 0;
  uint8_t bulk_string = 0;  // the image interface's own name, if it has one
};

bool FindCameraInterfaces(libusb_device* device, CameraInterfaces& found) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0 &&
      libusb_get_config_descriptor(device, 0, &config) != 0) {
    return false;
  }
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& usb_interface = config->interface[i];
    if (usb_interface.num_altsetting < 1) continue;
    const libusb_interface_descriptor& alt = usb_interface.altsetting[0];
    if (alt.bInterfaceClass == kClassHid && found.hid < 0) found.hid = alt.bInterfaceNumber;
    if (alt.bInterfaceClass != kClassVendor || found.bulk >= 0) continue;
    for (int e = 0; e < alt.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& endpoint = alt.endpoint[e];
      const bool bulk = (endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK;
      if (bulk && (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN) {
        found.bulk = alt.bInterfaceNumber;
        found.bulk_in_endpoint = endpoint.bEndpointAddress;
        found.bulk_string = alt.iInterface;
        break;
      }
    }
  }
  libusb_free_config_descriptor(config);
  return found.hid >= 0 && found.bulk >= 0;
}

std::optional<std::u16string> ReadString(libusb_device_handle* handle, uint8_t index) {
  if (handle == nullptr || index == 0) return std::nullopt;
  unsigned char languages[4] = {};
  if (libusb_get_string_descriptor(handle, 0, 0, languages, sizeof languages) < 4) return std::nullopt;
  const uint16_t language = languages[2] | (languages[3] << 8);
  unsigned char buffer[256] = {};
  const int length = libusb_get_string_descriptor(handle, index, language, buffer, sizeof buffer);
  if (length < 2 || buffer[1] != LIBUSB_DT_STRING) return std::nullopt;
  std::u16string text;
  for (int i = 2; i + 1 < std::min<int>(length, buffer[0]); i += 2) {
    text.push_back(static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8)));
  }
  return text;
}

}  // namespace

struct LibusbTransport::Impl {
  struct Claimed {
    libusb_device_handle* handle;  // nullptr once the device has gone
    int interface_number;
    uint8_t endpoint;
    UsbClass usb_class;
    uint64_t key;
  };

  libusb_context* context = nullptr;
  bool started = false;
  bool unavailable = false;
  std::map<uint64_t, libusb_device_handle*> devices;  // open devices by DeviceKey
  std::vector<Claimed> claimed;                       // handle = index + 1

  bool Start() {
    if (!started && !unavailable) {
      if (libusb_init(&context) == 0) {
        started = true;
      } else {
        unavailable = true;
      }
    }
    return started;
  }

  libusb_device_handle* OpenDevice(libusb_device* device) {
    const uint64_t key = DeviceKey(device);
    auto it = devices.find(key);
    if (it != devices.end()) return it->second;
    libusb_device_handle* handle = nullptr;
    if (libusb_open(device, &handle) != 0) return nullptr;
    libusb_set_auto_detach_kernel_driver(handle, 1);
    devices[key] = handle;
    return handle;
  }

  // A device that answered "no device" has left the bus. Its handles are closed and never handed out
  // again, so a camera plugged in later, even at the same address, is opened afresh.
  int Forget(const Claimed& gone) {
    libusb_device_handle* handle = gone.handle;
    if (handle == nullptr) return ENODEV;
    for (Claimed& c : claimed) {
      if (c.handle == handle) c.handle = nullptr;
    }
    for (auto it = devices.begin(); it != devices.end();) {
      it = it->second == handle ? devices.erase(it) : std::next(it);
    }
    libusb_close(handle);
    return ENODEV;
  }

  // The errno of a failed transfer. A transfer can break (an I/O error) on a camera that is being
  // unplugged without libusb saying "no device", so any other failure asks the device for its status.
  int Failure(const Claimed& claimed, int result) {
    unsigned char status[2];
    if (result == LIBUSB_ERROR_NO_DEVICE ||
        libusb_control_transfer(claimed.handle, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_STATUS, 0, 0, status,
                                sizeof status, kStatusTimeoutMs) == LIBUSB_ERROR_NO_DEVICE) {
      return Forget(claimed);
    }
    return ErrnoFrom(result);
  }

  ~Impl() {
    for (const Claimed& c : claimed) {
      if (c.handle != nullptr) libusb_release_interface(c.handle, c.interface_number);
    }
    for (auto& [key, handle] : devices) libusb_close(handle);
    if (started) libusb_exit(context);
  }
};

LibusbTransport::LibusbTransport() : impl_(std::make_unique<Impl>()) {}
LibusbTransport::~LibusbTransport() = default;

bool LibusbTransport::ListInterfaces(UsbClass usb_class, std::vector<UsbInterface>& out) {
  out.clear();
  if (!impl_->Start()) return true;
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(impl_->context, &list);
  if (count < 0) return false;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device* device = list[i];
    CameraInterfaces found;
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0 || !FindCameraInterfaces(device, found))
      continue;
    UsbInterface usb_interface;
    usb_interface.vendor_id = descriptor.idVendor;
    usb_interface.product_id = descriptor.idProduct;
    const bool hid = usb_class == UsbClass::Hid;
    usb_interface.key = DeviceKey(device) | static_cast<uint64_t>(hid ? found.hid : found.bulk);
    // Strings need the device open; one that cannot be opened shows "- not present -" and fails later.
    libusb_device_handle* handle = impl_->OpenDevice(device);
    usb_interface.manufacturer = ReadString(handle, descriptor.iManufacturer);
    usb_interface.product =
        ReadString(handle, hid || found.bulk_string == 0 ? descriptor.iProduct : found.bulk_string);
    out.push_back(std::move(usb_interface));
  }
  libusb_free_device_list(list, 1);
  return true;
}

int LibusbTransport::Open(UsbClass usb_class, const UsbInterface& usb_interface) {
  for (size_t i = 0; i < impl_->claimed.size(); ++i) {
    const Impl::Claimed& c = impl_->claimed[i];
    if (c.handle != nullptr && c.key == usb_interface.key && c.usb_class == usb_class) {
      return static_cast<int>(i) + 1;
    }
  }
  if (!impl_->Start()) return 0;
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(impl_->context, &list);
  if (count < 0) return 0;
  int result = 0;
  for (ssize_t i = 0; i < count && result == 0; ++i) {
    libusb_device* device = list[i];
    if (DeviceKey(device) != (usb_interface.key & ~uint64_t{0xFF})) continue;
    CameraInterfaces found;
    if (!FindCameraInterfaces(device, found)) break;
    const int number = usb_class == UsbClass::Hid ? found.hid : found.bulk;
    if (static_cast<uint64_t>(number) != (usb_interface.key & 0xFF)) break;
    libusb_device_handle* handle = impl_->OpenDevice(device);
    if (handle == nullptr || libusb_claim_interface(handle, number) != 0) break;
    impl_->claimed.push_back({handle, number, found.bulk_in_endpoint, usb_class, usb_interface.key});
    result = static_cast<int>(impl_->claimed.size());
  }
  libusb_free_device_list(list, 1);
  return result;
}

int LibusbTransport::WriteReport(int handle, std::span<const uint8_t> report) {
  if (handle < 1 || static_cast<size_t>(handle) > impl_->claimed.size() || report.empty()) return EBADF;
  const Impl::Claimed& claimed = impl_->claimed[handle - 1];
  if (claimed.usb_class != UsbClass::Hid) return EBADF;
  if (claimed.handle == nullptr) return ENODEV;
  // SET_REPORT, output report. Report id 0 means the device uses no ids: it is not sent on the wire.
  const uint8_t report_id = report[0];
  std::span<const uint8_t> data = report_id == 0 ? report.subspan(1) : report;
  std::vector<unsigned char> buffer(data.begin(), data.end());
  const int result = libusb_control_transfer(claimed.handle, kSetReportRequestType, kSetReport,
                                             static_cast<uint16_t>((2 << 8) | report_id),
                                             static_cast<uint16_t>(claimed.interface_number), buffer.data(),
                                             static_cast<uint16_t>(buffer.size()), kControlTimeoutMs);
  if (result < 0) return impl_->Failure(claimed, result);
  return static_cast<size_t>(result) == buffer.size() ? 0 : EIO;
}

int LibusbTransport::ReadBulk(int handle, std::span<uint8_t> dest, uint32_t timeout_ms) {
  if (handle < 1 || static_cast<size_t>(handle) > impl_->claimed.size()) return EBADF;
  const Impl::Claimed& claimed = impl_->claimed[handle - 1];
  if (claimed.usb_class != UsbClass::BlockIO) return EBADF;
  if (claimed.handle == nullptr) return ENODEV;
  using std::chrono::steady_clock;
  const auto deadline = steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  size_t done = 0;
  while (done < dest.size()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now());
    if (left.count() <= 0) return ETIMEDOUT;
    int transferred = 0;
    const int result = libusb_bulk_transfer(claimed.handle, claimed.endpoint, dest.data() + done,
                                            static_cast<int>(dest.size() - done), &transferred,
                                            static_cast<unsigned>(left.count()));
    done += static_cast<size_t>(std::max(transferred, 0));
    if (result != 0 && done < dest.size()) return impl_->Failure(claimed, result);
  }
  return 0;
}

}  // namespace nyxel
