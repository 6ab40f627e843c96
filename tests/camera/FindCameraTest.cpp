#include <gtest/gtest.h>

#include "camera/Camera.h"
#include "core/RecordingHost.h"
#include "tests/camera/FakeTransport.h"

namespace nyxel {
namespace {

using test::FakeTransport;
using test::Interface;

struct ScanCase {
  const char* name;
  std::vector<FakeTransport::Entry> hid, blockio;
  bool hid_list_ok;
  bool expect_result;
  bool expect_present;
  int expect_hid, expect_blockio;
  std::vector<std::string> expect_texts;
  std::string expect_caption;  // of the last box
  bool expect_blockio_listed;  // the scan reached the second class
};

TEST(FindCamera, SelectionRules) {
  const std::vector<ScanCase> cases = {
      {"camera", {Interface(11)}, {Interface(21)}, true, true, true, 11, 21, {}, "", true},
      {"only HID",
       {Interface(11)},
       {},
       true,
       true,
       false,
       11,
       0,
       {"USB BlockIO device not found"},
       "Nyxel",
       true},
      {"nothing", {}, {}, true, false, false, 0, 0, {"USB BlockIO device not found"}, "Nyxel", true},
      {"two HID devices: the last wins",
       {Interface(11), Interface(12)},
       {Interface(21)},
       true,
       true,
       true,
       12,
       21,
       {},
       "",
       true},
      {"unopenable HID stops the scan",
       {Interface(11, false), Interface(12)},
       {Interface(21)},
       true,
       false,
       false,
       0,
       0,
       {"Could not open HID device"},
       "Error",
       false},
      {"unnamed HID stops the scan",
       {Interface(11, true, false)},
       {Interface(21)},
       true,
       false,
       false,
       0,
       0,
       {"Could not find the system name for this HID device"},
       "Error",
       false},
      {"unopenable image channel",
       {Interface(11)},
       {Interface(21, false)},
       true,
       false,
       false,
       11,
       0,
       {"Could not open HID device"},
       "Error",
       true},
      {"no device list",
       {Interface(11)},
       {Interface(21)},
       false,
       false,
       false,
       0,
       0,
       {"Could not attach to PnP node"},
       "Nyxel",
       false},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTransport transport;
    transport.hid = c.hid;
    transport.blockio = c.blockio;
    transport.hid_list_ok = c.hid_list_ok;
    RecordingHost host;
    SimulatedClock clock;
    Camera camera(transport, host, clock);
    EXPECT_EQ(FindCamera(camera, false), c.expect_result);
    EXPECT_EQ(camera.CameraPresent, c.expect_present);
    EXPECT_EQ(camera.HidHandle, c.expect_hid);
    EXPECT_EQ(camera.BlockIOHandle, c.expect_blockio);
    EXPECT_FALSE(camera.InterruptMaskingAllowed);
    EXPECT_EQ(host.Texts(), c.expect_texts);
    if (!host.boxes.empty()) {
      EXPECT_EQ(host.boxes.back().caption, c.expect_caption);
      EXPECT_EQ(host.boxes.back().icon, c.expect_caption == "Error" ? MessageIcon::Stop : MessageIcon::None);
    }
    const bool blockio_listed = transport.listed.size() == 2;
    EXPECT_EQ(blockio_listed, c.expect_blockio_listed);
  }
}

TEST(FindCamera, FailedRescanClearsPresenceButAnAbortedOneDoesNot) {
  FakeTransport transport;
  transport.hid = {Interface(11)};
  transport.blockio = {Interface(21)};
  RecordingHost host;
  SimulatedClock clock;
  Camera camera(transport, host, clock);
  ASSERT_TRUE(FindCamera(camera, false));
  ASSERT_TRUE(camera.CameraPresent);

  transport.hid = {Interface(13, false)};  // stops the scan: state as it was
  EXPECT_FALSE(FindCamera(camera, false));
  EXPECT_TRUE(camera.CameraPresent);

  transport.hid = {};
  transport.blockio = {};
  camera.HidHandle = 0;  // a scan that finds nothing ends as "not found"
  EXPECT_FALSE(FindCamera(camera, false));
  EXPECT_FALSE(camera.CameraPresent);
}

TEST(FindCamera, DeviceTableAndDebugMessage) {
  FakeTransport transport;
  auto hid0 = Interface(11), hid1 = Interface(12), hid2 = Interface(13);
  hid0.info.manufacturer = std::u16string(u"M\u0141ker") + u'\0' + u"tail";  // low byte of U+0141 is 0x41
  hid1.info.manufacturer.reset();
  hid1.info.product.reset();
  hid2.info.product = std::u16string(200, u'x');
  auto blk0 = Interface(21);
  blk0.info.product.reset();
  transport.hid = {hid0, hid1, hid2};
  transport.blockio = {blk0};
  RecordingHost host;
  SimulatedClock clock;
  Camera camera(transport, host, clock);
  camera.UsbDeviceTable[19].VendorId = 0x7777;
  ASSERT_TRUE(FindCamera(camera, true));

  const auto& table = camera.UsbDeviceTable;
  // The image pass overwrites index 0 and clears the vendor ids of indexes it did not enumerate.
  EXPECT_EQ(table[0].VendorId, 0x1000 + 21);
  EXPECT_EQ(table[0].ProductId, 0x2000 + 21);
  EXPECT_EQ(table[0].Manufacturer, "Maker");
  EXPECT_EQ(table[0].Product, "");  // the image channel's product comes from the buffer regardless
  EXPECT_EQ(table[1].VendorId, 0);
  EXPECT_EQ(table[1].Manufacturer, "- not present -");
  EXPECT_EQ(table[1].Product, "- not present -");
  EXPECT_EQ(table[2].Product, std::string(127, 'x'));
  EXPECT_EQ(table[19].VendorId, 0);
  EXPECT_EQ(camera.HidHandle, 13);

  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text.rfind("Camera Found, Hid =     13, BlockIO =     21\nO/S = ", 0), 0u)
      << host.boxes[0].text;
  EXPECT_EQ(NarrowUsbString(std::u16string(u"M\u0141ker") + u'\0' + u"tail"), "MAker");
}

TEST(WriteUSBdevice, ReportLayoutAndRefusals) {
  struct Case {
    size_t payload;
    int write_error;
    int hid_handle;
    size_t expect_report_bytes;  // 0: nothing written
    std::string expect_text;
  };
  const std::vector<Case> cases = {
      {8, 0, 5, 9, ""},
      {254, 0, 5, 255, ""},
      {255, 0, 5, 0, "Maximum ByteCount for WriteUSBdevice is 254"},
      {300, 0, 5, 0, "Maximum ByteCount for WriteUSBdevice is 254"},
      {8, EIO, 5, 9, "Error 5 trying to send command to USB \n"},
      {8, 0, 0, 0, "Error 9 trying to send command to USB \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.payload);
    FakeTransport transport;
    transport.write_error = c.write_error;
    RecordingHost host;
    SimulatedClock clock;
    Camera camera(transport, host, clock);
    camera.HidHandle = c.hid_handle;
    std::vector<uint8_t> payload(c.payload);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i + 1);
    WriteUSBdevice(camera, payload);
    if (c.expect_report_bytes == 0) {
      EXPECT_TRUE(transport.writes.empty());
    } else {
      ASSERT_EQ(transport.writes.size(), 1u);
      const auto& report = transport.writes[0];
      ASSERT_EQ(report.size(), c.expect_report_bytes);
      EXPECT_EQ(report[0], 0);
      EXPECT_TRUE(std::equal(payload.begin(), payload.end(), report.begin() + 1));
      EXPECT_EQ(transport.write_handles[0], c.hid_handle);
    }
    std::vector<std::string> expect_texts;
    if (!c.expect_text.empty()) expect_texts.push_back(c.expect_text);
    EXPECT_EQ(host.Texts(), expect_texts);
  }
}

TEST(ReadBlockIO, CommandReadAndErrors) {
  FakeTransport transport;
  transport.bulk = {9, 8, 7};
  RecordingHost host;
  SimulatedClock clock;
  Camera camera(transport, host, clock);
  camera.HidHandle = 3;
  camera.BlockIOHandle = 4;
  camera.CommandBlock = {0, 0xF3, 0x01, 5, 6, 7, 8, 1};
  camera.ReceiveBuffer[3] = 0xAA;
  ReadBlockIO(camera, 3);
  ASSERT_EQ(transport.writes.size(), 1u);
  EXPECT_EQ(transport.writes[0], (std::vector<uint8_t>{0, 4, 0xF3, 0x01, 5, 6, 7, 8, 1}));
  EXPECT_EQ(transport.read_handles, std::vector<int>{4});
  EXPECT_EQ(transport.read_sizes, std::vector<size_t>{3});
  // The camera-timed 499 ms plus the readout allowance, so an unplugged camera cannot hang the read.
  EXPECT_EQ(transport.read_timeouts, std::vector<uint32_t>{499 + 10000});
  EXPECT_EQ(camera.ReceiveBuffer[0], 9);
  EXPECT_EQ(camera.ReceiveBuffer[2], 7);
  EXPECT_EQ(camera.ReceiveBuffer[3], 0xAA);
  EXPECT_TRUE(host.boxes.empty());

  transport.read_error = ETIMEDOUT;
  ReadBlockIO(camera, 3);
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"Error 110 trying to read BlockIO data from USB\n"});

  // A read longer than the buffer is cut to the buffer and reported.
  host.Clear();
  transport.read_error = 0;
  ReadBlockIO(camera, kReceiveBufferBytes + 1);
  EXPECT_EQ(transport.read_sizes.back(), kReceiveBufferBytes);
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"Error 22 trying to read BlockIO data from USB\n"});
}

}  // namespace
}  // namespace nyxel
