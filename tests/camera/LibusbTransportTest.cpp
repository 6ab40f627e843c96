#include <gtest/gtest.h>

#include <cerrno>

#include "camera/Camera.h"
#include "camera/LibusbTransport.h"
#include "core/RecordingHost.h"

namespace nyxel {
namespace {

TEST(LibusbTransport, NoCameraAttached) {
  LibusbTransport transport;
  std::vector<UsbInterface> hid, blockio;
  ASSERT_TRUE(transport.ListInterfaces(UsbClass::Hid, hid));
  ASSERT_TRUE(transport.ListInterfaces(UsbClass::BlockIO, blockio));
  // Never claim a real device from a test.
  if (!hid.empty() || !blockio.empty()) GTEST_SKIP() << "a device with the camera's interfaces is attached";

  RecordingHost host;
  SimulatedClock clock;
  Camera camera(transport, host, clock);
  EXPECT_FALSE(FindCamera(camera, true));
  EXPECT_FALSE(camera.CameraPresent);
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"USB BlockIO device not found"});

  // Without open channels nothing reaches the bus and every transfer is refused.
  const uint8_t report[9] = {};
  uint8_t block[16] = {};
  for (int handle : {0, 1, 2, -1}) {
    EXPECT_EQ(transport.WriteReport(handle, report), EBADF);
    EXPECT_EQ(transport.ReadBulk(handle, block, 10), EBADF);
  }
  UsbInterface absent;
  absent.key = 0xFFFF00;
  EXPECT_EQ(transport.Open(UsbClass::Hid, absent), 0);
}

}  // namespace
}  // namespace nyxel
