#include "indi/Rv9Ccd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "camera/CameraProtocol.h"

namespace nyxel {
namespace {

// The seconds left are sent at least this often while the host times an exposure.
constexpr uint32_t kTickMs = 1000;
constexpr const char* kDefaultGuidePort = "/dev/ttyUSB0";

}  // namespace

Rv9Ccd::Rv9Ccd() : device_(Drive::DefaultRoot()) {
  setVersion(1, 0);
  ns_ = {this, AXIS_DE, 0, 0};
  we_ = {this, AXIS_RA, 0, 0};
}

Rv9Ccd::~Rv9Ccd() {
  JoinWorker();
  if (wake_callback_ >= 0) IERmCallback(wake_callback_);
  if (wake_fd_ >= 0) close(wake_fd_);
}

bool Rv9Ccd::initProperties() {
  INDI::CCD::initProperties();
  SetCCDCapability(CCD_CAN_ABORT | CCD_CAN_SUBFRAME | CCD_CAN_BIN | CCD_HAS_ST4_PORT);
  PrimaryCCD.setMinMaxStep("CCD_EXPOSURE", "CCD_EXPOSURE_VALUE", kShortestExposureS, kLongestExposureS, 1,
                           false);
  PrimaryCCD.setMinMaxStep("CCD_BINNING", "HOR_BIN", 1, 1, 1, false);
  PrimaryCCD.setMinMaxStep("CCD_BINNING", "VER_BIN", 1, 1, 1, false);

  IUFillSwitch(&ColourS[0], "COLOUR_RAW", "Raw mosaic", ISS_ON);
  IUFillSwitch(&ColourS[1], "COLOUR_RGB", "Colour (RGB)", ISS_OFF);
  IUFillSwitchVector(&ColourSP, ColourS, 2, getDeviceName(), "RV9_COLOUR", "Colour", IMAGE_SETTINGS_TAB,
                     IP_RW, ISR_1OFMANY, 0, IPS_IDLE);
  IUFillText(&GuidePortT[0], "PORT", "Port", kDefaultGuidePort);
  IUFillTextVector(&GuidePortTP, GuidePortT, 1, getDeviceName(), "RV9_GUIDE_PORT", "Guide box", OPTIONS_TAB,
                   IP_RW, 0, IPS_IDLE);

  addAuxControls();
  setDefaultPollingPeriod(500);

  // The worker hands each readout back to the event loop through this descriptor.
  if (wake_fd_ < 0) {
    wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_fd_ >= 0) wake_callback_ = IEAddCallback(wake_fd_, &Rv9Ccd::OnReadDone, this);
  }
  return true;
}

void Rv9Ccd::ISGetProperties(const char* dev) {
  INDI::CCD::ISGetProperties(dev);
  defineProperty(&GuidePortTP);
  // Once: a later client's arrival must not put back a port the user has changed since.
  if (!guide_port_loaded_) loadConfig(true, "RV9_GUIDE_PORT");
  guide_port_loaded_ = true;
}

bool Rv9Ccd::updateProperties() {
  INDI::CCD::updateProperties();
  if (isConnected()) {
    defineProperty(&ColourSP);
    loadConfig(true, "RV9_COLOUR");
  } else {
    deleteProperty(ColourSP.name);
  }
  return true;
}

bool Rv9Ccd::saveConfigItems(FILE* fp) {
  INDI::CCD::saveConfigItems(fp);
  IUSaveConfigText(fp, &GuidePortTP);
  IUSaveConfigSwitch(fp, &ColourSP);
  return true;
}

bool Rv9Ccd::processFastExposure(INDI::CCDChip*) {
  // The base class would start the next exposure from its upload thread, behind the event loop's back.
  // Each exposure is started by its client instead.
  if (FastExposureToggleS[INDI_ENABLED].s == ISS_ON) {
    IUResetSwitch(&FastExposureToggleSP);
    FastExposureToggleS[INDI_DISABLED].s = ISS_ON;
    FastExposureToggleSP.s = IPS_IDLE;
    IDSetSwitch(&FastExposureToggleSP,
                "The RV9 takes no fast exposures: each exposure is asked for on its own");
  }
  return true;
}

bool Rv9Ccd::ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n) {
  if (dev && strcmp(dev, getDeviceName()) == 0 && strcmp(name, ColourSP.name) == 0) {
    IUUpdateSwitch(&ColourSP, states, names, n);
    ColourSP.s = IPS_OK;
    IDSetSwitch(&ColourSP, nullptr);
    return true;
  }
  return INDI::CCD::ISNewSwitch(dev, name, states, names, n);
}

bool Rv9Ccd::ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) {
  if (dev && strcmp(dev, getDeviceName()) == 0 && strcmp(name, GuidePortTP.name) == 0) {
    IUUpdateText(&GuidePortTP, texts, names, n);
    GuidePortTP.s = IPS_OK;
    // A new port is opened when connected, so a guider finds it ready.
    if (isConnected() && !device_.Simulated()) {
      ReleaseRelays();
      std::string message;
      if (!device_.OpenGuidePort(GuidePortT[0].text, message)) {
        GuidePortTP.s = IPS_ALERT;
        LOGF_WARN("Guide box on %s: %s", GuidePortT[0].text, message.c_str());
      }
    }
    IDSetText(&GuidePortTP, nullptr);
    return true;
  }
  return INDI::CCD::ISNewText(dev, name, texts, names, n);
}

bool Rv9Ccd::Connect() {
  Rv9Options options;
  options.simulate = isSimulation();
  // The simulated download takes as long as the real one unless a test asks for less.
  if (const char* ms = std::getenv("NYXEL_SIM_READOUT_MS")) {
    options.sim_full_readout_ms = static_cast<uint32_t>(std::strtoul(ms, nullptr, 10));
    options.sim_window_readout_ms = options.sim_full_readout_ms / 10;
  }
  std::string message;
  if (!device_.Connect(options, message)) {
    LOG_ERROR(message.c_str());
    return false;
  }
  SetCCDParams(kRv9Columns, kRv9Rows, 16, kRv9PixelWidthUm, kRv9PixelHeightUm);
  PrimaryCCD.setNAxis(2);
  PrimaryCCD.setFrameBufferSize(kRv9Columns * kRv9Rows * 2);
  sub_x_ = sub_y_ = 0;
  sub_w_ = kRv9Columns;
  sub_h_ = kRv9Rows;
  phase_ = Phase::Idle;
  std::string port_message;
  if (device_.OpenGuidePort(GuidePortT[0].text, port_message)) {
    LOGF_INFO("Guide box on %s", device_.Simulated() ? "the simulated mount" : GuidePortT[0].text);
  } else {
    LOGF_WARN("Guide box on %s: %s", GuidePortT[0].text, port_message.c_str());
  }
  LOG_INFO(device_.Simulated() ? "Simulated RV9 connected" : "RV9 connected");
  return true;
}

bool Rv9Ccd::Disconnect() {
  if (tick_timer_) IERmTimer(tick_timer_);
  tick_timer_ = 0;
  JoinWorker();
  ReleaseRelays();
  device_.Disconnect();
  phase_ = Phase::Idle;
  discard_ = false;
  pending_start_ = -1;
  InExposure = false;
  return true;
}

bool Rv9Ccd::UpdateCCDFrame(int x, int y, int w, int h) {
  if (!SubframeValid(x, y, w, h)) {
    LOGF_ERROR("A frame of %d x %d at %d, %d does not lie on the 510 x 290 chip", w, h, x, y);
    return false;
  }
  return INDI::CCD::UpdateCCDFrame(x, y, w, h);
}

bool Rv9Ccd::UpdateCCDBin(int hor, int ver) {
  if (hor != 1 || ver != 1) {
    LOG_ERROR("The RV9 reads 1 x 1 only");
    return false;
  }
  return INDI::CCD::UpdateCCDBin(hor, ver);
}

bool Rv9Ccd::StartExposure(float duration) {
  if (!device_.Connected()) return false;
  if (phase_ == Phase::Reading && discard_) {
    // The aborted frame is still coming off the chip; this one starts once it is in.
    pending_start_ = duration;
    return true;
  }
  if (phase_ != Phase::Idle) {
    LOG_ERROR("An exposure is already under way");
    return false;
  }
  // A bias frame may be asked for with no exposure at all: the shortest the camera takes is the nearest.
  if (PrimaryCCD.getFrameType() == INDI::CCDChip::BIAS_FRAME && duration < kShortestExposureS) {
    duration = static_cast<float>(kShortestExposureS);
  }
  if (!PlanExposure(duration, plan_)) {
    LOGF_ERROR("The RV9 takes 0.001 s to 90 minutes, not %g s", duration);
    return false;
  }
  if (std::fabs(plan_.seconds - duration) > 1e-6) {
    LOGF_INFO("Taking %g s: the nearest the camera can take to %g s", plan_.seconds, duration);
  }
  sub_x_ = PrimaryCCD.getSubX();
  sub_y_ = PrimaryCCD.getSubY();
  sub_w_ = PrimaryCCD.getSubW();
  sub_h_ = PrimaryCCD.getSubH();
  colour_read_ = Colour();
  // The colour synthesis needs the whole mosaic, so a colour window is read whole and cropped.
  readout_ = colour_read_ ? ReadoutPlan{} : PlanReadout(sub_x_, sub_y_, sub_w_, sub_h_);
  PrimaryCCD.setExposureDuration(plan_.seconds);
  ExposureTime = plan_.seconds;
  InExposure = true;
  device_.Control(kControlClear);
  device_.Control(kControlStartIntegration);
  end_ms_ = device_.clock().NowMs() + static_cast<uint32_t>(plan_.ms);
  if (plan_.ms < kCameraTimedBelowMs) {
    // The camera times it from the read command.
    BeginReadout();
  } else {
    phase_ = Phase::Exposing;
    tick_timer_ = IEAddTimer(static_cast<int>(std::min<uint32_t>(kTickMs, plan_.ms)), &Rv9Ccd::OnTick, this);
  }
  return true;
}

void Rv9Ccd::OnTick(void* self) {
  static_cast<Rv9Ccd*>(self)->Tick();
}

void Rv9Ccd::Tick() {
  tick_timer_ = 0;
  if (phase_ != Phase::Exposing) return;
  const int32_t left = ElapsedMs(end_ms_, device_.clock().NowMs());
  if (left > 0) {
    // A long exposure keeps the readout register clear while it integrates.
    if (plan_.ms > kClearWhileWaitingAboveMs) device_.Control(kControlClear);
    PrimaryCCD.setExposureLeft(std::ceil(left / 1000.0));
    tick_timer_ = IEAddTimer(static_cast<int>(std::min<int32_t>(kTickMs, left)), &Rv9Ccd::OnTick, this);
    return;
  }
  if (plan_.ms >= 200) device_.Control(kControlClear);
  device_.Control(kControlEndIntegration);
  BeginReadout();
}

void Rv9Ccd::BeginReadout() {
  phase_ = Phase::Reading;
  discard_ = false;
  PrimaryCCD.setExposureLeft(0);
  const ReadoutPlan plan = readout_;
  const int exposure_ms = plan_.ms;
  const bool colour = colour_read_;
  read_done_ = false;
  worker_ = std::thread([this, plan, exposure_ms, colour] {
    result_ = device_.Read(plan, exposure_ms, colour);
    read_done_ = true;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t put = write(wake_fd_, &one, sizeof one);
  });
}

void Rv9Ccd::OnReadDone(int fd, void* self) {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = read(fd, &count, sizeof count);
  static_cast<Rv9Ccd*>(self)->ReadDone();
}

void Rv9Ccd::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

void Rv9Ccd::LogDeviceMessages() {
  for (const std::string& m : device_.TakeMessages()) LOG_WARN(m.c_str());
}

void Rv9Ccd::ReadDone() {
  // A wake-up left over from a readout that Disconnect waited for is not this one's.
  if (phase_ != Phase::Reading || !read_done_) return;
  JoinWorker();
  phase_ = Phase::Idle;
  // With DEBUG on, a client can time what follows the readout (bench/indi_driver.cpp does).
  LOG_DEBUG("Frame read from the camera");
  LogDeviceMessages();
  const Rv9Device::ReadResult result = result_;
  if (discard_) {
    discard_ = false;
    if (result.gone) return CameraGone();
    if (pending_start_ >= 0) {
      const double seconds = pending_start_;
      pending_start_ = -1;
      if (!StartExposure(static_cast<float>(seconds))) {
        InExposure = false;
        PrimaryCCD.setExposureFailed();
      }
    }
    return;
  }
  InExposure = false;
  if (!result.ok) {
    if (result.gone) return CameraGone();
    LOG_ERROR("The frame could not be read from the camera");
    PrimaryCCD.setExposureFailed();
    return;
  }
  FinishFrame();
}

void Rv9Ccd::FinishFrame() {
  const ImageStore& store = device_.store();
  const size_t pixels = static_cast<size_t>(sub_w_) * sub_h_;
  {
    // The base class sends the previous frame from its own thread under this lock.
    std::unique_lock<std::mutex> guard(ccdBufferLock);
    const int bpp = colour_read_ ? 8 : 16;
    const size_t bytes = colour_read_ ? 3 * pixels : 2 * pixels;
    PrimaryCCD.setNAxis(colour_read_ ? 3 : 2);
    PrimaryCCD.setBPP(bpp);
    if (static_cast<size_t>(PrimaryCCD.getFrameBufferSize()) != bytes) PrimaryCCD.setFrameBufferSize(bytes);
    if (colour_read_) {
      CopyColourCube(store, sub_x_, sub_y_, sub_w_, sub_h_, PrimaryCCD.getFrameBuffer());
    } else {
      CopySubframe(store.CurrentFrame, readout_, sub_x_, sub_y_, sub_w_, sub_h_,
                   reinterpret_cast<uint16_t*>(PrimaryCCD.getFrameBuffer()));
    }
  }
  ExposureComplete(&PrimaryCCD);
}

void Rv9Ccd::CameraGone() {
  InExposure = false;
  PrimaryCCD.setExposureFailed();
  LOG_ERROR("The camera has gone from USB: connect again once it is back");
  Disconnect();
  setConnected(false, IPS_ALERT);
  updateProperties();
}

bool Rv9Ccd::AbortExposure() {
  if (phase_ == Phase::Exposing) {
    if (tick_timer_) IERmTimer(tick_timer_);
    tick_timer_ = 0;
    phase_ = Phase::Idle;
  } else if (phase_ == Phase::Reading) {
    // The frame is already on its way down the cable; it is dropped when it arrives.
    discard_ = true;
    pending_start_ = -1;
  }
  InExposure = false;
  return true;
}

IPState Rv9Ccd::GuideNorth(uint32_t ms) {
  return Pulse(ns_, 'n', ms);
}
IPState Rv9Ccd::GuideSouth(uint32_t ms) {
  return Pulse(ns_, 's', ms);
}
IPState Rv9Ccd::GuideEast(uint32_t ms) {
  return Pulse(we_, 'e', ms);
}
IPState Rv9Ccd::GuideWest(uint32_t ms) {
  return Pulse(we_, 'w', ms);
}

IPState Rv9Ccd::Pulse(PulseAxis& axis, char compass, uint32_t ms) {
  if (!device_.Connected()) return IPS_ALERT;
  if (!device_.GuidePortOpen()) {
    std::string message;
    if (!device_.OpenGuidePort(GuidePortT[0].text, message)) {
      LOGF_ERROR("Guide box on %s: %s", GuidePortT[0].text, message.c_str());
      return IPS_ALERT;
    }
  }
  // A new pulse on an axis replaces the one still running there.
  if (axis.timer) IERmTimer(axis.timer);
  axis.timer = 0;
  relays_ = static_cast<uint8_t>(relays_ & ~axis.bit);
  axis.bit = device_.RelayBit(compass);
  if (ms == 0) {
    axis.bit = 0;
    device_.SetRelays(relays_);
    return IPS_OK;
  }
  relays_ = static_cast<uint8_t>(relays_ | axis.bit);
  if (!device_.SetRelays(relays_)) {
    LogDeviceMessages();
    LOG_ERROR("The guide pulse could not be sent to the guide box");
    relays_ = static_cast<uint8_t>(relays_ & ~axis.bit);
    axis.bit = 0;
    return IPS_ALERT;
  }
  axis.timer = IEAddTimer(static_cast<int>(ms), &Rv9Ccd::OnPulseEnd, &axis);
  return IPS_BUSY;
}

void Rv9Ccd::OnPulseEnd(void* p) {
  PulseAxis& axis = *static_cast<PulseAxis*>(p);
  axis.timer = 0;
  axis.owner->EndPulse(axis);
}

void Rv9Ccd::EndPulse(PulseAxis& axis) {
  relays_ = static_cast<uint8_t>(relays_ & ~axis.bit);
  axis.bit = 0;
  if (!device_.SetRelays(relays_)) {
    LogDeviceMessages();
    LOG_ERROR("The guide box did not take the end of the pulse");
  }
  GuideComplete(axis.axis);
  // The base class leaves the property Idle; a guider waits for Ok.
  INDI::PropertyNumber property =
      getNumber(axis.axis == AXIS_DE ? "TELESCOPE_TIMED_GUIDE_NS" : "TELESCOPE_TIMED_GUIDE_WE");
  if (property) {
    property.setState(IPS_OK);
    property.apply();
  }
}

void Rv9Ccd::ReleaseRelays() {
  for (PulseAxis* axis : {&ns_, &we_}) {
    if (axis->timer) IERmTimer(axis->timer);
    axis->timer = 0;
    axis->bit = 0;
  }
  if (relays_ != 0) device_.SetRelays(0);
  relays_ = 0;
}

}  // namespace nyxel

// libindidriver's main() drives the one device this program registers.
static std::unique_ptr<nyxel::Rv9Ccd> rv9_ccd(new nyxel::Rv9Ccd());
