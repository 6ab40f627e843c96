#pragma once
// The telescope on an INDI server: a client (libindi's BaseClient, behind this class) that connects
// the chosen mount and focuser and maps the link's commands onto their standard properties. The
// client's callbacks run on its own thread; they only copy what the server said into a snapshot under
// a lock, and every command runs on the caller's thread, waiting on the Clock for the snapshot to
// show the answer, never longer than a few seconds.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/Host.h"
#include "telescope/IndiChoice.h"
#include "telescope/TelescopeBackend.h"

namespace nyxel {

// How long the link waits for the server, a device or a property before it gives up.
inline constexpr uint32_t kIndiConnectMs = 3000;
inline constexpr uint32_t kIndiDeviceMs = 5000;
inline constexpr uint32_t kIndiReplyMs = 3000;
// A guide pulse or timed focus move may take this much longer than asked before it counts as stuck.
inline constexpr uint32_t kIndiBusyGraceMs = 5000;

// What the mount last reported, for the simulated sky and for tests.
struct IndiMountPosition {
  bool valid = false;
  double ra_hours = 0, dec_degrees = 0;  // EQUATORIAL_EOD_COORD
  bool busy = false;                     // slewing
  int gotos = 0;                         // go-tos sent so far
};

class IndiMount : public TelescopeBackend {
 public:
  IndiMount(IndiChoice choice, Host& host, Clock& clock);
  ~IndiMount() override;
  IndiMount(const IndiMount&) = delete;
  IndiMount& operator=(const IndiMount&) = delete;

  bool Open() override;
  bool IsOpen() const override;
  int GuidePulse(char letter, int ms) override;
  char GotoCatalogue(char letter, int number, std::string& reply) override;
  char GotoCoordinates(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes,
                       std::string& reply) override;
  void StartSlew(char rate, char direction) override;
  void StopSlew() override;
  void StartFocus(bool fast, bool inward) override;
  void StopFocus() override;

  // A go-to to RA hours / Dec degrees of the mount's epoch. '0' when the mount took it.
  char GotoPosition(double ra_hours, double dec_degrees, const std::string& name, std::string& reply);
  // A timed focus move: inward or outward for `ms`.
  bool FocusFor(bool inward, bool fast, uint32_t ms);

  const IndiChoice& choice() const { return choice_; }
  IndiMountPosition Position() const;
  // The devices the server has reported.
  std::vector<std::string> Devices() const;
  // A number element as last reported; false when the server has not reported it.
  bool Number(const std::string& device, const std::string& property, const std::string& element,
              double& value) const;
  // Connects to the server only and waits for its devices (for the settings dialog's list). Empty
  // with the reason in `error` when the server is not there.
  static std::vector<std::string> ListDevices(const std::string& host, int port, Clock& clock,
                                              std::string& error);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  IndiChoice choice_;
  Host& host_;
  Clock& clock_;
  uint32_t focus_start_ = 0;
  bool focus_inward_ = false, focus_fast_ = false, focusing_ = false;
  bool tracking_before_move_ = false;
};

}  // namespace nyxel
