#pragma once
// indi_rv9_ccd: the RV9 as an INDI camera. The exposure is timed on INDI's timers, the readout runs on
// a worker thread and comes back to the event loop through an eventfd, guide pulses close the control
// box's relays and open them again on a timer.
#include <indiccd.h>

#include <atomic>
#include <thread>

#include "indi/Rv9Device.h"
#include "indi/Rv9Plans.h"

namespace nyxel {

class Rv9Ccd : public INDI::CCD {
 public:
  Rv9Ccd();
  ~Rv9Ccd() override;

  const char* getDefaultName() override { return "RV9 CCD"; }
  bool initProperties() override;
  bool updateProperties() override;
  void ISGetProperties(const char* dev) override;
  bool ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n) override;
  bool ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) override;

 protected:
  bool Connect() override;
  bool Disconnect() override;
  bool StartExposure(float duration) override;
  bool AbortExposure() override;
  bool UpdateCCDFrame(int x, int y, int w, int h) override;
  bool UpdateCCDBin(int hor, int ver) override;
  IPState GuideNorth(uint32_t ms) override;
  IPState GuideSouth(uint32_t ms) override;
  IPState GuideEast(uint32_t ms) override;
  IPState GuideWest(uint32_t ms) override;
  bool saveConfigItems(FILE* fp) override;
  bool processFastExposure(INDI::CCDChip* chip) override;

 private:
  enum class Phase { Idle, Exposing, Reading };
  struct PulseAxis {
    Rv9Ccd* owner = nullptr;
    INDI_EQ_AXIS axis = AXIS_RA;
    uint8_t bit = 0;
    int timer = 0;
  };

  static void OnTick(void* self);
  static void OnReadDone(int fd, void* self);
  static void OnPulseEnd(void* axis);
  void Tick();
  void BeginReadout();
  void ReadDone();
  void FinishFrame();
  void JoinWorker();
  void LogDeviceMessages();
  void CameraGone();
  IPState Pulse(PulseAxis& axis, char compass, uint32_t ms);
  void EndPulse(PulseAxis& axis);
  void ReleaseRelays();
  bool Colour() const { return ColourS[1].s == ISS_ON; }

  Rv9Device device_;
  Phase phase_ = Phase::Idle;
  ExposurePlan plan_;
  ReadoutPlan readout_;
  int sub_x_ = 0, sub_y_ = 0, sub_w_ = kRv9Columns, sub_h_ = kRv9Rows;
  bool colour_read_ = false;
  uint32_t end_ms_ = 0;
  int tick_timer_ = 0;
  bool discard_ = false;       // the readout under way was aborted: its frame is dropped
  double pending_start_ = -1;  // an exposure asked for while an aborted readout finishes
  std::thread worker_;
  Rv9Device::ReadResult result_;  // written by the worker before it signals
  std::atomic<bool> read_done_{false};
  int wake_fd_ = -1;
  int wake_callback_ = -1;

  PulseAxis ns_, we_;
  uint8_t relays_ = 0;

  ISwitch ColourS[2];
  ISwitchVectorProperty ColourSP;
  bool guide_port_loaded_ = false;
  IText GuidePortT[1]{};
  ITextVectorProperty GuidePortTP;
};

}  // namespace nyxel
