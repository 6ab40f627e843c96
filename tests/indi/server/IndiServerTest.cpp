// indi_rv9_ccd under a real indiserver, in simulation, driven by INDI's own command-line clients; a raw
// client takes the BLOBs, which cfitsio (a strict reader) opens.
#include <fcntl.h>
#include <fitsio.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <string>
#include <vector>

#include "tests/indi/server/IndiWire.h"
#include "tests/support/TestSupport.h"

namespace nyxel::test {
namespace {

using namespace std::chrono_literals;

const std::string kDevice = "RV9 CCD";

struct Fits {
  bool ok = false;
  int bitpix = 0;
  std::vector<long> axes;
  std::vector<double> pixels;  // as cfitsio scales them (BZERO applied)
  double exptime = -1;
  std::string date_obs, instrument;
  double xpixsz = 0, ypixsz = 0;
};

Fits ReadFits(const Blob& blob) {
  Fits f;
  std::string bytes = blob.bytes;
  void* memory = bytes.data();
  size_t size = bytes.size();
  fitsfile* file = nullptr;
  int status = 0;
  if (fits_open_memfile(&file, "blob", READONLY, &memory, &size, 0, nullptr, &status) != 0) return f;
  int naxis = 0;
  long axes[3] = {0, 0, 0};
  fits_get_img_param(file, 3, &f.bitpix, &naxis, axes, &status);
  fits_get_img_equivtype(file, &f.bitpix, &status);  // 16 bits with BZERO 32768 read as unsigned
  f.axes.assign(axes, axes + naxis);
  char text[FLEN_VALUE] = {};
  fits_read_key(file, TDOUBLE, "EXPTIME", &f.exptime, nullptr, &status);
  fits_read_key(file, TSTRING, "DATE-OBS", text, nullptr, &status);
  f.date_obs = text;
  fits_read_key(file, TSTRING, "INSTRUME", text, nullptr, &status);
  f.instrument = text;
  fits_read_key(file, TDOUBLE, "XPIXSZ", &f.xpixsz, nullptr, &status);
  fits_read_key(file, TDOUBLE, "YPIXSZ", &f.ypixsz, nullptr, &status);
  long count = 1;
  for (long a : f.axes) count *= a;
  f.pixels.resize(static_cast<size_t>(count));
  long first[3] = {1, 1, 1};
  fits_read_pix(file, TDOUBLE, first, count, nullptr, f.pixels.data(), nullptr, &status);
  fits_close_file(file, &status);
  f.ok = status == 0;
  return f;
}

struct Star {
  double x = 0, y = 0;  // centroid of the pixels well above the sky
  double peak = 0, median = 0;
};

Star FindStar(const Fits& f) {
  Star s;
  const long w = f.axes[0], h = f.axes[1];
  std::vector<double> sorted(f.pixels.begin(), f.pixels.begin() + w * h);
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  s.median = sorted[sorted.size() / 2];
  // The brightest 3 x 3 box, so a hot pixel (one pixel wide) never passes for the star.
  long px = 0, py = 0;
  for (long y = 2; y < h - 2; ++y) {
    for (long x = 2; x < w - 2; ++x) {
      double box = 0;
      for (long dy = -1; dy <= 1; ++dy)
        for (long dx = -1; dx <= 1; ++dx) box += f.pixels[(y + dy) * w + x + dx];
      if (box / 9 > s.peak) s.peak = box / 9, px = x, py = y;
    }
  }
  // Centroid over a box around the peak, above half way to it.
  double sum = 0, sx = 0, sy = 0;
  const double cut = s.median + (s.peak - s.median) / 2;
  for (long y = std::max(0L, py - 6); y <= std::min(h - 1, py + 6); ++y) {
    for (long x = std::max(0L, px - 6); x <= std::min(w - 1, px + 6); ++x) {
      const double v = f.pixels[y * w + x] - cut;
      if (v <= 0) continue;
      sum += v, sx += v * x, sy += v * y;
    }
  }
  s.x = sum > 0 ? sx / sum : px;
  s.y = sum > 0 ? sy / sum : py;
  return s;
}

class Rv9Server : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access("/usr/bin/indiserver", X_OK) != 0 || ::access("/usr/bin/indi_setprop", X_OK) != 0)
      GTEST_SKIP() << "indi-bin is not installed";
    ASSERT_TRUE(server_.Start(NYXEL_INDI_DRIVER,
                              {"HOME=" + home_.path().string(), "NYXEL_SIM_READOUT_MS=" + readout_ms_},
                              home_.path()));
    ASSERT_TRUE(wire_.Open(server_.port(), kDevice));
  }

  // indi_setprop "RV9 CCD.PROPERTY.ELEMENT=VALUE"
  int Set(const std::string& what) {
    return RunProgram({"indi_setprop", "-p", std::to_string(server_.port()), kDevice + "." + what});
  }
  // indi_eval -w: true once the expression holds, within `seconds`.
  bool WaitUntil(const std::string& expression, int seconds) {
    return RunProgram({"indi_eval", "-p", std::to_string(server_.port()), "-t", std::to_string(seconds), "-w",
                       expression}) == 0;
  }
  std::string Get(const std::string& what) {
    std::string out;
    RunProgram({"indi_getprop", "-p", std::to_string(server_.port()), "-1", kDevice + "." + what}, &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
  }
  static std::string Q(const std::string& property) { return "\"" + kDevice + "." + property + "\""; }

  // One exposure; its FITS.
  Fits Expose(double seconds, std::chrono::milliseconds limit = 5s) {
    const size_t before = wire_.blobs.size();
    char value[32];
    std::snprintf(value, sizeof value, "%g", seconds);
    EXPECT_EQ(Set(std::string("CCD_EXPOSURE.CCD_EXPOSURE_VALUE=") + value), 0);
    if (!wire_.WaitForBlobs(before + 1, limit)) return {};
    return ReadFits(wire_.blobs[before]);
  }

  std::string readout_ms_ = "200";  // the simulated download
  TempDir home_;
  DriverServer server_;
  IndiWire wire_;
};

TEST_F(Rv9Server, NoCameraWithoutSimulationThenTheSimulatedCameraEndToEnd) {
  // The window has the camera (its lock in the drive folder): connecting says so.
  {
    const std::filesystem::path lock = home_.path() / "Nyxel" / "rv9.lock";
    std::filesystem::create_directories(lock.parent_path());
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const std::string holder = "nyxel, process 4242\n";
    ASSERT_EQ(::write(fd, holder.data(), holder.size()), static_cast<ssize_t>(holder.size()));
    ASSERT_EQ(Set("CONNECTION.CONNECT=On"), 0);
    EXPECT_TRUE(WaitUntil(Q("CONNECTION._STATE") + "==3", 5));
    EXPECT_TRUE(wire_.WaitForMessage("The camera is in use by nyxel, process 4242", 3s));
    ::close(fd);
  }

  // No camera on USB: Alert and the message, and the driver still there.
  ASSERT_EQ(Set("CONNECTION.CONNECT=On"), 0);
  ASSERT_TRUE(WaitUntil(Q("CONNECTION._STATE") + "==3", 5));
  EXPECT_TRUE(wire_.WaitForMessage("No camera found on USB", 3s));
  EXPECT_TRUE(server_.DriverAlive());
  EXPECT_EQ(Get("DRIVER_INFO.DRIVER_NAME"), kDevice);

  ASSERT_EQ(Set("SIMULATION.ENABLE=On"), 0);
  ASSERT_EQ(Set("CONNECTION.CONNECT=On"), 0);
  ASSERT_TRUE(WaitUntil(Q("CONNECTION._STATE") + "==1", 5));
  EXPECT_EQ(Get("CCD_INFO.CCD_MAX_X"), "510");
  EXPECT_EQ(Get("CCD_INFO.CCD_MAX_Y"), "290");
  EXPECT_EQ(Get("CCD_INFO.CCD_BITSPERPIXEL"), "16");

  // A 2 s exposure: Busy with the seconds left, then the frame, dated from its start.
  {
    const size_t before = wire_.blobs.size();
    const std::time_t asked = std::time(nullptr);
    ASSERT_EQ(Set("CCD_EXPOSURE.CCD_EXPOSURE_VALUE=2"), 0);
    EXPECT_TRUE(
        WaitUntil(Q("CCD_EXPOSURE._STATE") + "==2 && " + Q("CCD_EXPOSURE.CCD_EXPOSURE_VALUE") + "<=2", 2));
    ASSERT_TRUE(wire_.WaitForBlobs(before + 1, 6s));
    EXPECT_EQ(wire_.blobs[before].format, ".fits");
    const Fits f = ReadFits(wire_.blobs[before]);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.bitpix, USHORT_IMG);
    EXPECT_EQ(f.axes, (std::vector<long>{510, 290}));
    EXPECT_DOUBLE_EQ(f.exptime, 2);
    EXPECT_EQ(f.instrument, kDevice);
    std::tm start{};
    ASSERT_NE(strptime(f.date_obs.c_str(), "%Y-%m-%dT%H:%M:%S", &start), nullptr) << f.date_obs;
    const std::time_t started = timegm(&start);
    EXPECT_GE(started, asked - 1) << f.date_obs;
    EXPECT_LE(started, asked + 1) << f.date_obs << ": the start, not the end";
    EXPECT_DOUBLE_EQ(std::round(f.xpixsz * 100), 980);
    EXPECT_DOUBLE_EQ(std::round(f.ypixsz * 100), 1260);
    const Star star = FindStar(f);
    EXPECT_GT(star.peak, star.median + 1000);
    EXPECT_TRUE(WaitUntil(Q("CCD_EXPOSURE._STATE") + "==1", 2));
  }

  // Twenty 0.1 s exposures in a row, twenty frames.
  for (int i = 0; i < 20; ++i) {
    const Fits f = Expose(0.1);
    ASSERT_TRUE(f.ok) << "frame " << i;
    EXPECT_DOUBLE_EQ(f.exptime, 0.1) << i;
    ASSERT_TRUE(WaitUntil(Q("CCD_EXPOSURE._STATE") + "==1", 2)) << i;
  }

  // Fast exposures would be started from the base class's upload thread: refused, one frame only.
  {
    ASSERT_EQ(Set("CCD_FAST_TOGGLE.INDI_ENABLED=On"), 0);
    ASSERT_EQ(Set("CCD_FAST_COUNT.FRAMES=3"), 0);
    const size_t before = wire_.blobs.size();
    ASSERT_TRUE(Expose(0.1).ok);
    EXPECT_TRUE(WaitUntil(Q("CCD_FAST_TOGGLE.INDI_DISABLED") + "==1", 2));
    ASSERT_TRUE(WaitUntil(Q("CCD_EXPOSURE._STATE") + "==1", 2));
    wire_.Drain(500ms);
    EXPECT_EQ(wire_.blobs.size(), before + 1);
  }

  // A time no unit takes exactly is rounded to one it does, and EXPTIME says which.
  {
    const Fits f = Expose(0.1234);
    ASSERT_TRUE(f.ok);
    EXPECT_DOUBLE_EQ(f.exptime, 0.123);
    EXPECT_TRUE(wire_.WaitForMessage("Taking 0.123 s", 1s));
  }

  // A bias frame asked for with no exposure takes the shortest there is.
  ASSERT_EQ(Set("CCD_FRAME_TYPE.FRAME_BIAS=On"), 0);
  {
    const Fits f = Expose(0);
    ASSERT_TRUE(f.ok);
    EXPECT_DOUBLE_EQ(f.exptime, 0.001);
  }
  ASSERT_EQ(Set("CCD_FRAME_TYPE.FRAME_LIGHT=On"), 0);

  // Abort: over at once, and no frame of it ever comes (the next frame is the next exposure's).
  {
    const size_t before = wire_.blobs.size();
    ASSERT_EQ(Set("CCD_EXPOSURE.CCD_EXPOSURE_VALUE=5"), 0);
    ASSERT_TRUE(WaitUntil(Q("CCD_EXPOSURE._STATE") + "==2", 2));
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_EQ(Set("CCD_ABORT_EXPOSURE.ABORT=On"), 0);
    EXPECT_TRUE(WaitUntil(Q("CCD_EXPOSURE._STATE") + "!=2", 1));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    const Fits next = Expose(0.1);
    ASSERT_TRUE(next.ok);
    EXPECT_DOUBLE_EQ(next.exptime, 0.1);
    EXPECT_EQ(wire_.blobs.size(), before + 1);
  }

  // The 128 x 128 window around the bright star (the simulated sky puts it at 250.3, 121.6).
  ASSERT_EQ(Set("CCD_FRAME.X;Y;WIDTH;HEIGHT=186;58;128;128"), 0);
  Star before_pulse;
  {
    const Fits f = Expose(0.4);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.axes, (std::vector<long>{128, 128}));
    before_pulse = FindStar(f);
    EXPECT_GT(before_pulse.peak, before_pulse.median + 1000);
    EXPECT_NEAR(before_pulse.x, 64, 4);
    EXPECT_NEAR(before_pulse.y, 64, 4);
  }

  // A guide pulse north of one second moves the simulated star 8 pixels (the simulated guide rate).
  ASSERT_EQ(Set("TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N;TIMED_GUIDE_S=1000;0"), 0);
  EXPECT_TRUE(WaitUntil(Q("TELESCOPE_TIMED_GUIDE_NS._STATE") + "==2", 1));
  ASSERT_TRUE(WaitUntil(Q("TELESCOPE_TIMED_GUIDE_NS._STATE") + "==1", 3));
  {
    const Fits f = Expose(0.4);
    ASSERT_TRUE(f.ok);
    const Star after = FindStar(f);
    EXPECT_NEAR(after.y - before_pulse.y, 8, 2);
    EXPECT_NEAR(after.x - before_pulse.x, 0, 1);
  }

  // The colour cube: three planes of 290 x 510.
  ASSERT_EQ(Set("CCD_FRAME.X;Y;WIDTH;HEIGHT=0;0;510;290"), 0);
  ASSERT_EQ(Set("RV9_COLOUR.COLOUR_RGB=On"), 0);
  {
    const Fits f = Expose(0.4);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.bitpix, BYTE_IMG);
    EXPECT_EQ(f.axes, (std::vector<long>{510, 290, 3}));
    const size_t plane = 510 * 290;
    for (int c = 0; c < 3; ++c) {
      const auto begin = f.pixels.begin() + static_cast<long>(c * plane);
      EXPECT_GT(*std::max_element(begin, begin + static_cast<long>(plane)), 30) << "plane " << c;
    }
  }
  ASSERT_EQ(Set("RV9_COLOUR.COLOUR_RAW=On"), 0);

  // A client that leaves mid-exposure: the exposure still ends, and the next client is served.
  {
    IndiWire first;
    ASSERT_TRUE(first.Open(server_.port(), kDevice));
    ASSERT_TRUE(
        first.Send("<newNumberVector device=\"RV9 CCD\" name=\"CCD_EXPOSURE\">"
                   "<oneNumber name=\"CCD_EXPOSURE_VALUE\">1</oneNumber></newNumberVector>\n"));
    ASSERT_TRUE(WaitUntil(Q("CCD_EXPOSURE._STATE") + "==2", 2));
    first.Close();
    ASSERT_TRUE(WaitUntil(Q("CCD_EXPOSURE._STATE") + "==1", 4));
    wire_.Close();
    IndiWire second;
    ASSERT_TRUE(second.Open(server_.port(), kDevice));
    ASSERT_EQ(Set("CCD_EXPOSURE.CCD_EXPOSURE_VALUE=0.1"), 0);
    ASSERT_TRUE(second.WaitForBlobs(1, 5s));
    const Fits f = ReadFits(second.blobs[0]);
    ASSERT_TRUE(f.ok);
    EXPECT_DOUBLE_EQ(f.exptime, 0.1);
    ASSERT_TRUE(wire_.Open(server_.port(), kDevice));
  }

  // Disconnect and connect again.
  ASSERT_EQ(Set("CONNECTION.DISCONNECT=On"), 0);
  ASSERT_TRUE(WaitUntil(Q("CONNECTION.CONNECT") + "==0", 3));
  ASSERT_EQ(Set("CONNECTION.CONNECT=On"), 0);
  ASSERT_TRUE(WaitUntil(Q("CONNECTION._STATE") + "==1", 5));
  const Fits again = Expose(0.1);
  ASSERT_TRUE(again.ok);
  EXPECT_EQ(again.axes, (std::vector<long>{510, 290}));
  EXPECT_TRUE(server_.DriverAlive());
}

// The simulated download as long as a real one: the driver answers and guides while a frame comes in.
class Rv9ServerSlowReadout : public Rv9Server {
 protected:
  void SetUp() override {
    readout_ms_ = "1500";
    Rv9Server::SetUp();
  }
};

TEST_F(Rv9ServerSlowReadout, TheDriverAnswersAndGuidesDuringTheReadout) {
  ASSERT_EQ(Set("SIMULATION.ENABLE=On"), 0);
  ASSERT_EQ(Set("CONNECTION.CONNECT=On"), 0);
  ASSERT_TRUE(WaitUntil(Q("CONNECTION._STATE") + "==1", 5));
  const size_t before = wire_.blobs.size();
  ASSERT_EQ(Set("CCD_EXPOSURE.CCD_EXPOSURE_VALUE=0.05"), 0);  // timed by the camera: the readout starts now
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(Set("TELESCOPE_TIMED_GUIDE_WE.TIMED_GUIDE_E;TIMED_GUIDE_W=100;0"), 0);
  ASSERT_TRUE(WaitUntil(Q("TELESCOPE_TIMED_GUIDE_WE._STATE") + "==1", 2));
  EXPECT_EQ(Get("CCD_EXPOSURE._STATE"), "Busy") << "the pulse ended while the frame was still coming";
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1200ms);
  EXPECT_EQ(wire_.blobs.size(), before);
  ASSERT_TRUE(wire_.WaitForBlobs(before + 1, 5s));
  EXPECT_GE(std::chrono::steady_clock::now() - started, 1500ms);
}

}  // namespace
}  // namespace nyxel::test
