// The libusb transport against cameras on an emulated USB bus: the same simulator that answers in
// process answers here from behind usbfs, so everything between the protocol code and the wire runs
// for real (the device scan, the claims, SET_REPORT, the bulk loop, its time limit, an unplug).
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "camera/Camera.h"
#include "camera/CameraProtocol.h"
#include "camera/ExposureRun.h"
#include "camera/LibusbTransport.h"
#include "camera/sim/SimulatedCamera.h"
#include "camera/sim/SimulatedSky.h"
#include "core/RecordingHost.h"
#include "tests/camera/usb/UsbTestbed.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

using test::EmulatedCamera;
using test::EmulatedDeviceShape;
using test::UsbTestbed;
using WallClock = std::chrono::steady_clock;

// A simulated camera on its own clock and sky; two brains with one seed answer alike.
struct Brain {
  explicit Brain(uint32_t seed = 7) : sky(clock), sim(sky, Options(seed)) {}
  static SimulatedCameraOptions Options(uint32_t seed) {
    SimulatedCameraOptions options;
    options.seed = seed;
    return options;
  }
  SimulatedClock clock{5000};
  SimulatedSky sky;
  SimulatedCamera sim;
};

// The protocol code on one transport, as the exposure run and focus mode drive it.
struct Rig {
  Rig(CameraTransport& transport, Clock& clock_) : camera(transport, host, clock_) {}
  RecordingHost host;
  Camera camera;
  std::unique_ptr<Frame> frame = std::make_unique<Frame>();
};

enum class Read { FullFrame, Window };

// Clear, start, the host-timed wait (sending clear), end, full-frame read; or a camera-timed window.
bool Expose(Camera& camera, Read read, Frame& dest) {
  if (read == Read::Window) {
    camera.ExposureMs = 200;
    return ReadWindow(camera, dest);
  }
  camera.ExposureMs = 700;
  SendControl(camera, kControlClear);
  SendControl(camera, kControlStartIntegration);
  HostWait(camera, camera.ExposureMs);
  SendControl(camera, kControlClear);
  SendControl(camera, kControlEndIntegration);
  return ReadFullFrame(camera, dest);
}

// libusb learns of devices coming and going from its hotplug thread; give it a bounded moment.
bool WaitUntilListed(LibusbTransport& transport, size_t count) {
  const auto deadline = WallClock::now() + std::chrono::seconds(3);
  std::vector<UsbInterface> listed;
  while (transport.ListInterfaces(UsbClass::Hid, listed) && listed.size() != count) {
    if (WallClock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return listed.size() == count;
}

class EmulatedUsb : public ::testing::Test {
 protected:
  void SetUp() override {
    bed = std::make_unique<UsbTestbed>();
    const std::string why = bed->WhyUnusable();
    if (!why.empty()) GTEST_SKIP() << "no emulated USB bus: " << why;
  }
  std::unique_ptr<UsbTestbed> bed;
};

TEST_F(EmulatedUsb, ScanFindsTheCameraAndLeavesOtherHidDevicesAlone) {
  Brain brain, keyboard_brain;
  EmulatedDeviceShape keyboard_shape;
  keyboard_shape.address = 3;
  keyboard_shape.vendor_id = 0x046d;
  keyboard_shape.product_id = 0xc31c;
  keyboard_shape.vendor_interface = false;
  EmulatedCamera keyboard(*bed, keyboard_brain.sim, keyboard_shape);
  EmulatedCamera device(*bed, brain.sim);
  LibusbTransport transport;
  Rig rig(transport, brain.clock);

  EXPECT_TRUE(FindCamera(rig.camera, true));
  ASSERT_TRUE(rig.camera.CameraPresent);
  ASSERT_EQ(rig.host.Texts().size(), 1u);
  EXPECT_EQ(rig.host.Texts()[0].rfind("Camera Found, Hid = ", 0), 0u) << rig.host.Texts()[0];
  EXPECT_NE(rig.camera.HidHandle, 0);
  EXPECT_NE(rig.camera.BlockIOHandle, 0);
  EXPECT_NE(rig.camera.HidHandle, rig.camera.BlockIOHandle);

  // The table as the in-process simulator fills it: the ids, and the image interface's own name.
  Brain reference;
  Rig reference_rig(reference.sim, reference.clock);
  ASSERT_TRUE(FindCamera(reference_rig.camera, false));
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const UsbDeviceEntry& got = rig.camera.UsbDeviceTable[i];
    const UsbDeviceEntry& want = reference_rig.camera.UsbDeviceTable[i];
    EXPECT_EQ(got.VendorId, want.VendorId);
    EXPECT_EQ(got.ProductId, want.ProductId);
    EXPECT_EQ(got.Manufacturer, want.Manufacturer);
    EXPECT_EQ(got.Product, want.Product);
  }
  EXPECT_EQ(rig.camera.UsbDeviceTable[0].Product, "RV9 image channel");

  // usbhid was detached from the camera's HID interface and both interfaces are held.
  EXPECT_FALSE(device.HidDriverBound());
  std::vector<int> claimed = device.ClaimedInterfaces();
  std::sort(claimed.begin(), claimed.end());
  EXPECT_EQ(claimed, (std::vector<int>{0, 1}));
  EXPECT_EQ(device.UnknownRequests(), std::vector<std::string>{});
  // The keyboard is never opened, claimed or detached.
  EXPECT_TRUE(keyboard.HidDriverBound());
  EXPECT_TRUE(keyboard.ClaimedInterfaces().empty());
  EXPECT_TRUE(keyboard.Controls().empty());

  // Another scan reuses what is open.
  const int hid = rig.camera.HidHandle, blockio = rig.camera.BlockIOHandle;
  EXPECT_TRUE(FindCamera(rig.camera, false));
  EXPECT_EQ(rig.camera.HidHandle, hid);
  EXPECT_EQ(rig.camera.BlockIOHandle, blockio);
}

// The installed udev rule gives the user the camera, and only devices of its shape: its interface
// patterns hold for the emulated camera and not for a keyboard.
TEST_F(EmulatedUsb, UdevRuleMatchesTheCameraShape) {
  std::ifstream file(std::string(NYXEL_SOURCE_DIR) + "/resources/60-nyxel-camera.rules");
  ASSERT_TRUE(file.good());
  std::vector<std::string> patterns;
  const std::string key = "ENV{ID_USB_INTERFACES}==\"";
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    for (size_t at = line.find(key); at != std::string::npos; at = line.find(key, at + 1)) {
      const size_t begin = at + key.size();
      patterns.push_back(line.substr(begin, line.find('"', begin) - begin));
    }
  }
  ASSERT_EQ(patterns.size(), 2u);
  Brain brain;
  EmulatedDeviceShape keyboard_shape;
  keyboard_shape.address = 3;
  keyboard_shape.vendor_interface = false;
  EmulatedCamera camera(*bed, brain.sim);
  EmulatedCamera keyboard(*bed, brain.sim, keyboard_shape);
  auto matches_all = [&](const EmulatedCamera& device) {
    const std::string interfaces = device.Property("ID_USB_INTERFACES");
    EXPECT_FALSE(interfaces.empty());
    return std::all_of(patterns.begin(), patterns.end(),
                       [&](const std::string& p) { return fnmatch(p.c_str(), interfaces.c_str(), 0) == 0; });
  };
  EXPECT_TRUE(matches_all(camera));
  EXPECT_FALSE(matches_all(keyboard));
  EXPECT_EQ(camera.Property("DEVTYPE"), "usb_device");
}

// Two devices with the camera's shape: every interface is opened, the last of each class is kept.
TEST_F(EmulatedUsb, TwoCamerasTheLastEnumeratedIsUsed) {
  Brain brain_a(7), brain_b(99);
  EmulatedDeviceShape shape_a, shape_b;
  shape_a.address = 11;
  shape_b.address = 12;
  shape_b.product_id = 0x010a;
  EmulatedCamera a(*bed, brain_a.sim, shape_a);
  EmulatedCamera b(*bed, brain_b.sim, shape_b);
  LibusbTransport transport;
  std::vector<UsbInterface> listed;
  ASSERT_TRUE(transport.ListInterfaces(UsbClass::Hid, listed));
  ASSERT_EQ(listed.size(), 2u);
  const bool b_last = listed[1].product_id == shape_b.product_id;
  EmulatedCamera& last = b_last ? b : a;
  EmulatedCamera& first = b_last ? a : b;
  Brain& last_brain = b_last ? brain_b : brain_a;
  Brain& first_brain = b_last ? brain_a : brain_b;

  Rig rig(transport, last_brain.clock);
  ASSERT_TRUE(FindCamera(rig.camera, false));
  ASSERT_TRUE(rig.camera.CameraPresent);
  EXPECT_EQ(rig.camera.UsbDeviceTable[0].ProductId, listed[0].product_id);
  EXPECT_EQ(rig.camera.UsbDeviceTable[1].ProductId, listed[1].product_id);
  EXPECT_EQ(rig.camera.UsbDeviceTable[2].VendorId, 0);
  for (EmulatedCamera* device : {&a, &b}) {
    std::vector<int> claimed = device->ClaimedInterfaces();
    std::sort(claimed.begin(), claimed.end());
    EXPECT_EQ(claimed, (std::vector<int>{0, 1}));
    EXPECT_FALSE(device->HidDriverBound());
  }

  // Commands and the window go to the last camera only, and its picture is the one that arrives.
  Brain reference(b_last ? 99 : 7);
  Rig in_process(reference.sim, reference.clock);
  ASSERT_TRUE(FindCamera(in_process.camera, false));
  ASSERT_TRUE(Expose(rig.camera, Read::Window, *rig.frame));
  ASSERT_TRUE(Expose(in_process.camera, Read::Window, *in_process.frame));
  EXPECT_TRUE(*rig.frame == *in_process.frame);
  EXPECT_EQ(last.BulkBytesSent(), kWindowReadLength);
  EXPECT_EQ(first.BulkBytesSent(), 0u);
  EXPECT_EQ(last_brain.sim.commands.size(), 1u);
  EXPECT_TRUE(first_brain.sim.commands.empty());
}

// A camera that another program holds stops the scan, even when another camera could be opened.
TEST_F(EmulatedUsb, ACameraHeldElsewhereStopsTheScan) {
  for (int held : {0, 1}) {
    SCOPED_TRACE(held);
    Brain brain_a, brain_b;
    EmulatedDeviceShape shape_a, shape_b;
    shape_a.address = 11;
    shape_b.address = 12;
    shape_b.product_id = 0x010a;
    (held == 0 ? shape_a : shape_b).held_elsewhere = true;
    EmulatedCamera a(*bed, brain_a.sim, shape_a);
    EmulatedCamera b(*bed, brain_b.sim, shape_b);
    LibusbTransport transport;
    Rig rig(transport, brain_a.clock);
    EXPECT_FALSE(FindCamera(rig.camera, false));
    EXPECT_FALSE(rig.camera.CameraPresent);
    ASSERT_EQ(rig.host.boxes.size(), 1u);
    EXPECT_EQ(rig.host.boxes[0].text, "Could not open HID device");
    EXPECT_EQ(rig.host.boxes[0].caption, "Error");
  }
}

struct FrameCase {
  const char* name;
  Read read;
  size_t chunk_bytes;  // the most the camera completes per bulk transfer
};

TEST_F(EmulatedUsb, FramesArriveByteForByteAsInProcess) {
  const std::vector<FrameCase> cases = {
      {"full frame in one transfer", Read::FullFrame, SIZE_MAX},
      {"full frame a sensor line per transfer", Read::FullFrame, kSensorLineBytes},
      {"full frame in odd pieces", Read::FullFrame, 100000},
      {"window", Read::Window, SIZE_MAX},
      {"window in short packets", Read::Window, 1000},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    Brain reference, brain;
    Rig in_process(reference.sim, reference.clock);
    ASSERT_TRUE(FindCamera(in_process.camera, false));

    EmulatedCamera device(*bed, brain.sim);
    device.SetChunkBytes(c.chunk_bytes);
    LibusbTransport transport;
    Rig usb(transport, brain.clock);
    ASSERT_TRUE(FindCamera(usb.camera, false));
    ASSERT_TRUE(usb.camera.CameraPresent);

    // Two exposures in a row, so the second starts where the first one left the camera.
    for (int exposure = 0; exposure < 2; ++exposure) {
      SCOPED_TRACE(exposure);
      ASSERT_TRUE(Expose(in_process.camera, c.read, *in_process.frame));
      const auto started = WallClock::now();
      ASSERT_TRUE(Expose(usb.camera, c.read, *usb.frame)) << ::testing::PrintToString(usb.host.Texts());
      EXPECT_LT(WallClock::now() - started, std::chrono::seconds(5));
      EXPECT_TRUE(usb.host.Texts().empty()) << usb.host.Texts().front();

      const size_t length = c.read == Read::Window ? kWindowReadLength : kFullFrameReadLength;
      EXPECT_EQ(usb.camera.ReadLength, length);
      EXPECT_EQ(std::memcmp(usb.camera.ReceiveBuffer.data(), in_process.camera.ReceiveBuffer.data(), length),
                0);
      EXPECT_TRUE(*usb.frame == *in_process.frame);
      EXPECT_EQ(brain.sim.last_exposure_ms, reference.sim.last_exposure_ms);
      EXPECT_EQ(brain.clock.NowMs(), reference.clock.NowMs());
    }
    EXPECT_EQ(device.BulkBytesSent(), 2 * usb.camera.ReadLength);

    // The camera got the same commands at the same moments.
    ASSERT_EQ(brain.sim.commands.size(), reference.sim.commands.size());
    for (size_t i = 0; i < brain.sim.commands.size(); ++i) {
      EXPECT_EQ(brain.sim.commands[i].bytes, reference.sim.commands[i].bytes) << i;
      EXPECT_EQ(brain.sim.commands[i].time_ms, reference.sim.commands[i].time_ms) << i;
    }
    // On the wire: SET_REPORT of output report 0 to the HID interface, eight data bytes, no id byte.
    size_t set_reports = 0;
    for (const EmulatedCamera::ControlTransfer& t : device.Controls()) {
      if (t.request_type != 0x21) continue;
      ++set_reports;
      EXPECT_EQ(t.request, 0x09);
      EXPECT_EQ(t.value, 0x0200);
      EXPECT_EQ(t.index, 0);
      EXPECT_EQ(t.data.size(), 8u);
    }
    EXPECT_EQ(set_reports, brain.sim.commands.size());
    EXPECT_EQ(device.UnknownRequests(), std::vector<std::string>{});
  }
}

// Host-to-interface class requests: the HID SET_REPORTs (and SET_IDLE, which nothing sends).
std::vector<EmulatedCamera::ControlTransfer> SetReports(const EmulatedCamera& device) {
  std::vector<EmulatedCamera::ControlTransfer> reports;
  for (const EmulatedCamera::ControlTransfer& t : device.Controls()) {
    if (t.request_type == 0x21) reports.push_back(t);
  }
  return reports;
}

struct ReportCase {
  const char* name;
  std::vector<uint8_t> report;  // as handed to the transport: report id first
  int expect_error;
  uint16_t expect_value;     // wValue of the SET_REPORT
  size_t expect_wire_bytes;  // its data stage
  bool expect_camera_took_it;
};

TEST_F(EmulatedUsb, CommandReportsOnTheWire) {
  const std::vector<ReportCase> cases = {
      {"report id 0: the id stays off the wire", {0, 2, 1, 0, 0, 0, 0, 0, 0}, 0, 0x0200, 8, true},
      {"report id 3: the id leads the data", {3, 2, 1, 0, 0, 0, 0, 0, 0}, EPIPE, 0x0203, 9, false},
      {"seven bytes: the camera stalls", {0, 2, 1, 0, 0, 0, 0, 0}, EPIPE, 0x0200, 7, false},
  };
  Brain brain;
  EmulatedCamera device(*bed, brain.sim);
  LibusbTransport transport;
  Rig rig(transport, brain.clock);
  ASSERT_TRUE(FindCamera(rig.camera, false));
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t commands = brain.sim.commands.size();
    const size_t reports = SetReports(device).size();
    EXPECT_EQ(transport.WriteReport(rig.camera.HidHandle, c.report), c.expect_error);
    const std::vector<EmulatedCamera::ControlTransfer> seen = SetReports(device);
    ASSERT_EQ(seen.size(), reports + 1);
    EXPECT_EQ(seen.back().request, 0x09);
    EXPECT_EQ(seen.back().value, c.expect_value);
    EXPECT_EQ(seen.back().data.size(), c.expect_wire_bytes);
    EXPECT_EQ(device.Reports().back(), c.report);
    EXPECT_EQ(brain.sim.commands.size(), commands + (c.expect_camera_took_it ? 1 : 0));
  }
  // The longest payload goes out whole as a 255-byte report; the camera refuses it and the user is told.
  const std::vector<uint8_t> payload(kMaxReportPayload, 0x11);
  WriteUSBdevice(rig.camera, payload);
  EXPECT_EQ(SetReports(device).back().data.size(), kMaxReportPayload);
  EXPECT_EQ(rig.host.Texts(), std::vector<std::string>{"Error 32 trying to send command to USB \n"});
  EXPECT_TRUE(rig.camera.CameraPresent);
  // A handle of the other class is refused before anything reaches the bus.
  const size_t controls = device.Controls().size();
  EXPECT_EQ(transport.WriteReport(rig.camera.BlockIOHandle, cases[0].report), EBADF);
  uint8_t block[16];
  EXPECT_EQ(transport.ReadBulk(rig.camera.HidHandle, block, 10), EBADF);
  EXPECT_EQ(device.Controls().size(), controls);
}

TEST_F(EmulatedUsb, ReadWithoutDataEndsAtItsTimeLimit) {
  Brain reference, brain;
  Rig in_process(reference.sim, reference.clock);
  ASSERT_TRUE(FindCamera(in_process.camera, false));
  EmulatedCamera device(*bed, brain.sim);
  LibusbTransport transport;
  Rig rig(transport, brain.clock);
  ASSERT_TRUE(FindCamera(rig.camera, false));

  // No read command, so the camera sends nothing: the read gives up after its limit, on the real clock.
  std::vector<uint8_t> block(kWindowReadLength);
  for (uint32_t limit : {150u, 400u}) {
    SCOPED_TRACE(limit);
    const auto started = WallClock::now();
    EXPECT_EQ(transport.ReadBulk(rig.camera.BlockIOHandle, block, limit), ETIMEDOUT);
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(WallClock::now() - started).count();
    EXPECT_GE(took, limit - 5);
    EXPECT_LT(took, limit + 1500);
  }
  EXPECT_EQ(device.BulkBytesSent(), 0u);
  EXPECT_TRUE(rig.camera.CameraPresent);

  // The abandoned transfers were cancelled: the next read gets the whole window and nothing else.
  ASSERT_TRUE(Expose(in_process.camera, Read::Window, *in_process.frame));
  ASSERT_TRUE(Expose(rig.camera, Read::Window, *rig.frame));
  EXPECT_TRUE(*rig.frame == *in_process.frame);
  EXPECT_EQ(device.BulkBytesSent(), kWindowReadLength);
}

struct UnplugCase {
  const char* name;
  Read read;
  size_t chunk_bytes;
  size_t unplug_after;   // image bytes sent before the cable comes out
  int unplug_at_submit;  // or: the bulk submission it comes out at
  bool unplug_first;     // or: out before the read command
  std::vector<std::string> expect_texts;
};

TEST_F(EmulatedUsb, UnplugDuringReadShowsTheErrorKeepsThePictureAndRescans) {
  const std::string read_error = "Error 19 trying to read BlockIO data from USB\n";
  const std::vector<UnplugCase> cases = {
      {"in the middle of a transfer", Read::FullFrame, SIZE_MAX, 100000, 0, false, {read_error}},
      {"between two short transfers",
       Read::FullFrame,
       kSensorLineBytes,
       10 * kSensorLineBytes,
       0,
       false,
       {read_error}},
      {"while the read is being queued", Read::FullFrame, SIZE_MAX, SIZE_MAX, 3, false, {read_error}},
      {"in a window read", Read::Window, SIZE_MAX, 4096, 0, false, {read_error}},
      {"before the read command",
       Read::Window,
       SIZE_MAX,
       SIZE_MAX,
       0,
       true,
       {"Error 19 trying to send command to USB \n", read_error}},
  };
  int address = 20;
  for (const UnplugCase& c : cases) {
    SCOPED_TRACE(c.name);
    Brain brain;
    EmulatedDeviceShape shape;
    shape.address = address++;
    auto device = std::make_unique<EmulatedCamera>(*bed, brain.sim, shape);
    device->SetChunkBytes(c.chunk_bytes);
    device->UnplugAfter(c.unplug_after);
    device->UnplugAtSubmission(c.unplug_at_submit);
    LibusbTransport transport;
    Rig rig(transport, brain.clock);
    ASSERT_TRUE(FindCamera(rig.camera, false));
    for (size_t i = 0; i < rig.frame->size(); ++i) (*rig.frame)[i] = static_cast<uint16_t>(i * 7);
    const Frame before = *rig.frame;
    if (c.unplug_first) device->Unplug();

    const auto started = WallClock::now();
    EXPECT_FALSE(Expose(rig.camera, c.read, *rig.frame));
    EXPECT_LT(WallClock::now() - started, std::chrono::seconds(3));  // no wait for the read's limit
    EXPECT_EQ(rig.host.Texts(), c.expect_texts);
    EXPECT_FALSE(rig.camera.CameraPresent);
    EXPECT_TRUE(*rig.frame == before);
    EXPECT_TRUE(device->Gone());

    // The next camera command scans again and, with the camera off the bus, finds nothing.
    device->Unplug();
    ASSERT_TRUE(WaitUntilListed(transport, 0));
    rig.host.Clear();
    EXPECT_FALSE(FindCamera(rig.camera, false));
    EXPECT_FALSE(rig.camera.CameraPresent);
    EXPECT_EQ(rig.host.Texts(), std::vector<std::string>{"USB BlockIO device not found"});

    // Plugged in again (the kernel gives it the next address): found, opened afresh, and it reads.
    device.reset();
    Brain reference, fresh;
    Rig in_process(reference.sim, reference.clock);
    ASSERT_TRUE(FindCamera(in_process.camera, false));
    shape.address = address++;
    EmulatedCamera replugged(*bed, fresh.sim, shape);
    ASSERT_TRUE(WaitUntilListed(transport, 1));
    Rig again(transport, fresh.clock);
    ASSERT_TRUE(FindCamera(again.camera, false));
    ASSERT_TRUE(again.camera.CameraPresent);
    ASSERT_TRUE(Expose(again.camera, c.read, *again.frame));
    ASSERT_TRUE(Expose(in_process.camera, c.read, *in_process.frame));
    EXPECT_TRUE(*again.frame == *in_process.frame);
  }
}

// A halted endpoint is an error of the read, not a missing camera.
TEST_F(EmulatedUsb, StalledReadKeepsTheCamera) {
  Brain brain;
  EmulatedCamera device(*bed, brain.sim);
  device.StallBulk();
  LibusbTransport transport;
  Rig rig(transport, brain.clock);
  ASSERT_TRUE(FindCamera(rig.camera, false));
  (*rig.frame)[100] = 1234;
  const Frame before = *rig.frame;
  EXPECT_FALSE(Expose(rig.camera, Read::Window, *rig.frame));
  EXPECT_EQ(rig.host.Texts(), std::vector<std::string>{"Error 32 trying to read BlockIO data from USB\n"});
  EXPECT_TRUE(rig.camera.CameraPresent);
  EXPECT_TRUE(*rig.frame == before);
  EXPECT_FALSE(device.Gone());
}

// The kernel may give a camera plugged in again the address it had before; the handles of the one
// that left must not be taken for it.
TEST_F(EmulatedUsb, ReplugAtTheSameAddressIsOpenedAfresh) {
  Brain brain;
  auto device = std::make_unique<EmulatedCamera>(*bed, brain.sim);
  device->UnplugAfter(20000);
  LibusbTransport transport;
  Rig rig(transport, brain.clock);
  ASSERT_TRUE(FindCamera(rig.camera, false));
  EXPECT_FALSE(Expose(rig.camera, Read::Window, *rig.frame));
  EXPECT_FALSE(rig.camera.CameraPresent);
  device->Unplug();
  ASSERT_TRUE(WaitUntilListed(transport, 0));
  // The transport let go of the departed device.
  EXPECT_TRUE(device->WaitUntilClosed(2000));
  device.reset();

  Brain reference, fresh;
  Rig in_process(reference.sim, reference.clock);
  ASSERT_TRUE(FindCamera(in_process.camera, false));
  EmulatedCamera again(*bed, fresh.sim);
  ASSERT_TRUE(WaitUntilListed(transport, 1));
  Rig rig2(transport, fresh.clock);
  ASSERT_TRUE(FindCamera(rig2.camera, false));
  ASSERT_TRUE(rig2.camera.CameraPresent);
  EXPECT_FALSE(again.HidDriverBound());
  ASSERT_TRUE(Expose(rig2.camera, Read::Window, *rig2.frame)) << ::testing::PrintToString(rig2.host.Texts());
  ASSERT_TRUE(Expose(in_process.camera, Read::Window, *in_process.frame));
  EXPECT_TRUE(*rig2.frame == *in_process.frame);
}

// The camera command as the program runs it, on the bus: a photo, a photo whose readout the unplug
// breaks, the next command's scan, and a photo once the camera is back.
TEST_F(EmulatedUsb, ExposureRunAcrossAnUnplug) {
  struct Program {
    Program(CameraTransport& transport, Clock& clock) : rig(host, clock, Drive(dir.path()), transport) {
      StartSession(rig.session);
      rig.calendar = CalendarFromClock(clock, 1772746200);
      rig.run.ExposureUnit = 't';  // 0.4 s, timed by the camera
      rig.run.ExposureValue = 4;
      host.Clear();
    }
    bool Photo() {
      if (!BeginCameraCommand(rig)) return false;
      TakePhoto(rig);
      EndCameraCommand(rig);
      return !rig.state.ReadFailed;
    }
    Frame& picture() { return rig.session.store.CurrentFrame; }
    test::TempDir dir;
    RecordingHost host;
    CameraRig rig;
  };
  auto has = [](const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  };

  Brain reference, brain;
  Program in_process(reference.sim, reference.clock);
  EmulatedDeviceShape shape;
  shape.address = 40;
  auto device = std::make_unique<EmulatedCamera>(*bed, brain.sim, shape);
  LibusbTransport transport;
  Program program(transport, brain.clock);
  ASSERT_TRUE(in_process.Photo());
  ASSERT_TRUE(program.Photo()) << ::testing::PrintToString(program.host.Texts());
  EXPECT_TRUE(program.picture() == in_process.picture());
  const auto first = std::make_unique<Frame>(program.picture());

  device->UnplugAfter(100000);
  program.host.Clear();
  EXPECT_FALSE(program.Photo());
  EXPECT_TRUE(has(program.host.Texts(), "Error 19 trying to read BlockIO data from USB\n"))
      << ::testing::PrintToString(program.host.Texts());
  EXPECT_FALSE(program.rig.camera.CameraPresent);
  EXPECT_TRUE(program.picture() == *first);

  device->Unplug();
  ASSERT_TRUE(WaitUntilListed(transport, 0));
  program.host.Clear();
  EXPECT_FALSE(program.Photo());
  EXPECT_TRUE(has(program.host.Texts(), "Sorry, No camera found on USB"))
      << ::testing::PrintToString(program.host.Texts());
  EXPECT_TRUE(program.picture() == *first);

  device.reset();
  Brain fresh(11);  // another seed, so the new picture is told from the kept one
  shape.address = 41;
  EmulatedCamera replugged(*bed, fresh.sim, shape);
  ASSERT_TRUE(WaitUntilListed(transport, 1));
  program.host.Clear();
  EXPECT_TRUE(program.Photo()) << ::testing::PrintToString(program.host.Texts());
  EXPECT_TRUE(program.rig.camera.CameraPresent);
  EXPECT_EQ(replugged.BulkBytesSent(), kFullFrameReadLength);
  EXPECT_FALSE(program.picture() == *first);
}

}  // namespace
}  // namespace nyxel
