// The driver's device on the libusb transport, against a camera on a bus umockdev emulates: the cable
// comes out during a readout, and CONNECT works again once the camera is back.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "camera/CameraProtocol.h"
#include "camera/sim/SimulatedCamera.h"
#include "camera/sim/SimulatedSky.h"
#include "indi/Rv9Device.h"
#include "tests/camera/usb/UsbTestbed.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

// A simulated camera on its own clock and sky behind the emulated cable.
struct Brain {
  SimulatedClock clock{5000};
  SimulatedSky sky{clock};
  SimulatedCamera sim{sky};
};

bool Exposes(Rv9Device& device) {
  device.Control(kControlClear);
  device.Control(kControlStartIntegration);
  return device.Read(ReadoutPlan{}, 200, false).ok;
}

TEST(Rv9OnEmulatedUsb, UnplugMidReadoutThenConnectAgainOnceTheCameraIsBack) {
  test::UsbTestbed bed;
  const std::string why = bed.WhyUnusable();
  if (!why.empty()) GTEST_SKIP() << "no emulated USB bus: " << why;
  test::TempDir dir;
  Rv9Device rv9(dir.path());
  std::string message;

  Brain brain;
  test::EmulatedDeviceShape shape;
  shape.address = 40;
  auto cable = std::make_unique<test::EmulatedCamera>(bed, brain.sim, shape);
  ASSERT_TRUE(rv9.Connect(Rv9Options{}, message)) << message;
  ASSERT_TRUE(Exposes(rv9));

  // Out in the middle of the frame: the read fails at once and says the camera has gone.
  cable->UnplugAfter(100000);
  rv9.Control(kControlClear);
  rv9.Control(kControlStartIntegration);
  const Rv9Device::ReadResult r = rv9.Read(ReadoutPlan{}, 200, false);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.gone);
  const std::vector<std::string> said = rv9.TakeMessages();
  ASSERT_FALSE(said.empty());
  EXPECT_EQ(said.back(), "Error 19 trying to read BlockIO data from USB\n");
  rv9.Disconnect();
  cable->Unplug();
  cable.reset();

  // Away: CONNECT finds nothing, and lets the camera lock go.
  EXPECT_FALSE(rv9.Connect(Rv9Options{}, message));
  EXPECT_NE(message.find("Sorry, No camera found on USB"), std::string::npos) << message;

  // Back, at the next address: the same device connects and reads again.
  Brain fresh;
  shape.address = 41;
  test::EmulatedCamera back(bed, fresh.sim, shape);
  ASSERT_TRUE(rv9.Connect(Rv9Options{}, message)) << message;
  EXPECT_TRUE(Exposes(rv9));
  rv9.Disconnect();
}

}  // namespace
}  // namespace nyxel
