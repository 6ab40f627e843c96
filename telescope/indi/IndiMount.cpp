#include "telescope/indi/IndiMount.h"

#include <baseclient.h>
#include <basedevice.h>
#include <indiproperty.h>
#include <indipropertynumber.h>
#include <indipropertyswitch.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>

#include "core/Messages.h"
#include "telescope/Catalogue.h"

namespace nyxel {

namespace {

// One property as the server last reported it.
struct PropertyCopy {
  INDI_PROPERTY_TYPE type = INDI_UNKNOWN;
  IPState state = IPS_IDLE;
  ISRule rule = ISR_1OFMANY;
  uint64_t updates = 0;  // the snapshot's update count when it last changed
  std::vector<std::string> names;
  std::vector<double> numbers;
  std::vector<bool> on;
};

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

std::string Sexagesimal(double value, bool sign) {
  const bool negative = value < 0;
  long seconds = std::lround(std::fabs(value) * 3600);
  char text[32];
  std::snprintf(text, sizeof text, "%s%02ld:%02ld:%02ld", sign ? (negative ? "-" : "+") : "", seconds / 3600,
                seconds / 60 % 60, seconds % 60);
  return text;
}

}  // namespace

// The libindi client. Its callbacks (on the client's thread) only copy into the snapshot.
struct IndiMount::Impl : public INDI::BaseClient {
  mutable std::mutex mutex;
  std::map<std::string, std::map<std::string, PropertyCopy>> properties;
  std::vector<std::string> devices;
  bool connected = false;
  bool lost = false;  // the server went away after a connection
  uint64_t updates = 0;
  int gotos = 0;

  void newDevice(INDI::BaseDevice device) override {
    const std::lock_guard lock(mutex);
    const std::string name = device.getDeviceName();
    if (std::find(devices.begin(), devices.end(), name) == devices.end()) devices.push_back(name);
    ++updates;
  }
  void removeDevice(INDI::BaseDevice device) override {
    const std::lock_guard lock(mutex);
    std::erase(devices, std::string(device.getDeviceName()));
    properties.erase(device.getDeviceName());
    ++updates;
  }
  void newProperty(INDI::Property property) override { Copy(property); }
  void updateProperty(INDI::Property property) override { Copy(property); }
  void removeProperty(INDI::Property property) override {
    const std::lock_guard lock(mutex);
    auto it = properties.find(property.getDeviceName());
    if (it != properties.end()) it->second.erase(property.getName());
    ++updates;
  }
  void serverConnected() override {
    const std::lock_guard lock(mutex);
    connected = true;
  }
  void serverDisconnected(int) override {
    const std::lock_guard lock(mutex);
    if (connected) lost = true;
    connected = false;
    ++updates;
  }

  void Copy(const INDI::Property& property) {
    PropertyCopy c;
    c.type = property.getType();
    c.state = property.getState();
    if (c.type == INDI_NUMBER) {
      if (auto* v = property.getNumber()) {
        for (int i = 0; i < v->count(); ++i) {
          c.names.emplace_back(v->at(static_cast<size_t>(i))->getName());
          c.numbers.push_back(v->at(static_cast<size_t>(i))->getValue());
        }
      }
    } else if (c.type == INDI_SWITCH) {
      if (auto* v = property.getSwitch()) {
        c.rule = v->getRule();
        for (int i = 0; i < v->count(); ++i) {
          c.names.emplace_back(v->at(static_cast<size_t>(i))->getName());
          c.on.push_back(v->at(static_cast<size_t>(i))->getState() == ISS_ON);
        }
      }
    }
    const std::lock_guard lock(mutex);
    c.updates = ++updates;
    properties[property.getDeviceName()][property.getName()] = std::move(c);
  }

  // A copy of one property, when the server has defined it.
  bool Get(const std::string& device, const std::string& name, PropertyCopy& out) const {
    const std::lock_guard lock(mutex);
    const auto d = properties.find(device);
    if (d == properties.end()) return false;
    const auto p = d->second.find(name);
    if (p == d->second.end()) return false;
    out = p->second;
    return true;
  }
  bool Has(const std::string& device, const std::string& name) const {
    PropertyCopy unused;
    return Get(device, name, unused);
  }
  uint64_t Updates() const {
    const std::lock_guard lock(mutex);
    return updates;
  }
  bool Lost() const {
    const std::lock_guard lock(mutex);
    return lost || !connected;
  }

  // Sends a switch vector with the named elements on and the rest off.
  bool SendSwitches(const std::string& device, const std::string& name,
                    const std::vector<std::string>& on_names) {
    PropertyCopy c;
    if (!Get(device, name, c) || c.type != INDI_SWITCH) return false;
    INDI::PropertySwitch p(c.names.size());
    p.fill(device.c_str(), name.c_str(), "", "", IP_RW, c.rule, 0, IPS_IDLE);
    for (size_t i = 0; i < c.names.size(); ++i) {
      p[i].setName(c.names[i]);
      const bool on = std::find(on_names.begin(), on_names.end(), c.names[i]) != on_names.end();
      p[i].setState(on ? ISS_ON : ISS_OFF);
    }
    sendNewSwitch(p);
    return true;
  }
  // Sends a number vector: the given elements' values, the others as last reported.
  bool SendNumbers(const std::string& device, const std::string& name,
                   const std::vector<std::pair<std::string, double>>& values) {
    PropertyCopy c;
    if (!Get(device, name, c) || c.type != INDI_NUMBER) return false;
    INDI::PropertyNumber p(c.names.size());
    p.fill(device.c_str(), name.c_str(), "", "", IP_RW, 0, IPS_IDLE);
    for (size_t i = 0; i < c.names.size(); ++i) {
      p[i].setName(c.names[i]);
      double v = c.numbers[i];
      for (const auto& [element, value] : values) {
        if (element == c.names[i]) v = value;
      }
      p[i].setValue(v);
    }
    sendNewNumber(p);
    return true;
  }
};

IndiMount::IndiMount(IndiChoice choice, Host& host, Clock& clock)
    : impl_(std::make_unique<Impl>()), choice_(std::move(choice)), host_(host), clock_(clock) {}

IndiMount::~IndiMount() {
  if (impl_->isServerConnected()) impl_->disconnectServer();
}

namespace {

// Waits on the clock until `done` holds or `ms` have passed; true when it held.
bool WaitFor(Clock& clock, uint32_t ms, const std::function<bool()>& done) {
  const uint32_t start = clock.NowMs();
  for (;;) {
    if (done()) return true;
    if (ElapsedMs(clock.NowMs(), start) >= static_cast<int32_t>(ms)) return done();
    clock.Pause(10);
  }
}

// The names in alphabetical order (the server reports them in the order its drivers answered).
std::string Joined(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + Quoted(n);
  return text.empty() ? "none" : text;
}

}  // namespace

std::vector<std::string> IndiMount::ListDevices(const std::string& host, int port, Clock& clock,
                                                std::string& error) {
  Impl client;
  client.setServer(host.c_str(), static_cast<unsigned>(port));
  client.setConnectionTimeout(kIndiConnectMs / 1000, 0);
  if (!client.connectServer()) {
    error = "There is no INDI server at " + host + ":" + std::to_string(port) + ".";
    return {};
  }
  // Devices arrive one after another: wait until the list has been still for a moment.
  uint64_t seen = client.Updates();
  uint32_t still_since = clock.NowMs();
  WaitFor(clock, kIndiDeviceMs, [&] {
    const uint64_t now = client.Updates();
    if (now != seen) {
      seen = now;
      still_since = clock.NowMs();
    }
    const std::lock_guard lock(client.mutex);
    return !client.devices.empty() && ElapsedMs(clock.NowMs(), still_since) > 500;
  });
  std::vector<std::string> devices;
  {
    const std::lock_guard lock(client.mutex);
    devices = client.devices;
  }
  client.disconnectServer();
  std::sort(devices.begin(), devices.end());
  if (devices.empty())
    error = "The INDI server at " + host + ":" + std::to_string(port) + " reports no devices.";
  return devices;
}

bool IndiMount::IsOpen() const {
  if (impl_->Lost()) return false;
  PropertyCopy c;
  return impl_->Get(choice_.mount, "CONNECTION", c) && !c.on.empty() && c.on[0];
}

bool IndiMount::Open() {
  if (IsOpen() && (choice_.focuser.empty() || impl_->Has(choice_.focuser, "CONNECTION"))) return true;
  const std::string server = choice_.host + ":" + std::to_string(choice_.port);
  auto fail = [&](const std::string& text) {
    ShowMessage(host_, kOwnTextMessage, text);
    return false;
  };
  if (choice_.mount.empty()) return fail("No INDI mount is chosen: choose one in Set Program Defaults.");
  if (impl_->Lost()) {
    // A fresh start after a lost server: the old snapshot describes devices that may be gone.
    if (impl_->isServerConnected()) impl_->disconnectServer();
    {
      const std::lock_guard lock(impl_->mutex);
      impl_->properties.clear();
      impl_->devices.clear();
      impl_->lost = false;
    }
    impl_->setServer(choice_.host.c_str(), static_cast<unsigned>(choice_.port));
    impl_->setConnectionTimeout(kIndiConnectMs / 1000, 0);
    if (!impl_->connectServer()) {
      return fail("There is no INDI server at " + server +
                  ": start indiserver there, or check the host and port.");
    }
  }
  // Each device: known to the server, then connected.
  for (const std::string& device : {choice_.mount, choice_.focuser}) {
    if (device.empty()) continue;
    const bool found = WaitFor(clock_, kIndiDeviceMs, [&] { return impl_->Has(device, "CONNECTION"); });
    if (!found) {
      std::vector<std::string> devices;
      {
        const std::lock_guard lock(impl_->mutex);
        devices = impl_->devices;
      }
      return fail("The INDI server at " + server + " has no device " + Quoted(device) +
                  ". Devices found: " + Joined(devices) + ".");
    }
    PropertyCopy c;
    impl_->Get(device, "CONNECTION", c);
    if (!(c.on.size() > 0 && c.on[0])) {
      impl_->SendSwitches(device, "CONNECTION", {"CONNECT"});
      const bool connected = WaitFor(clock_, kIndiDeviceMs, [&] {
        PropertyCopy now;
        return impl_->Get(device, "CONNECTION", now) && !now.on.empty() && now.on[0] && now.state != IPS_BUSY;
      });
      if (!connected)
        return fail("The INDI device " + Quoted(device) + " on " + server + " did not connect.");
    }
  }
  // A connected mount defines its motion properties right after connecting.
  if (!WaitFor(clock_, kIndiReplyMs, [&] { return impl_->Has(choice_.mount, "EQUATORIAL_EOD_COORD"); }))
    return fail("The INDI device " + Quoted(choice_.mount) + " on " + server + " is not a telescope mount.");
  return true;
}

namespace {

// What became of a command: the property's state once the server has answered it.
enum class Outcome { kDone, kRefused, kStuck, kLost };

}  // namespace

int IndiMount::GuidePulse(char letter, int ms) {
  if (ms <= 0) return 0;
  const bool ns = letter == 'n' || letter == 's';
  if (!ns && letter != 'e' && letter != 'w') return 0;
  const std::string property = ns ? "TELESCOPE_TIMED_GUIDE_NS" : "TELESCOPE_TIMED_GUIDE_WE";
  const std::string element = std::string("TIMED_GUIDE_") + static_cast<char>(std::toupper(letter));
  const std::string other = std::string("TIMED_GUIDE_") + (letter == 'n'   ? 'S'
                                                           : letter == 's' ? 'N'
                                                           : letter == 'e' ? 'W'
                                                                           : 'E');
  if (impl_->Lost()) {
    ShowMessage(host_, kOwnTextMessage,
                "The connection to the INDI server " + choice_.host + ":" + std::to_string(choice_.port) +
                    " was lost.");
    return -2;
  }
  const uint64_t before = impl_->Updates();
  if (!impl_->SendNumbers(choice_.mount, property, {{element, ms}, {other, 0}})) {
    ShowMessage(host_, kOwnTextMessage,
                "The INDI mount " + Quoted(choice_.mount) + " has no " + property + ".");
    return -1;
  }
  PropertyCopy c;
  const bool finished = WaitFor(clock_, static_cast<uint32_t>(ms) + kIndiBusyGraceMs, [&] {
    if (impl_->Lost()) return true;
    return impl_->Get(choice_.mount, property, c) && c.updates > before && c.state != IPS_BUSY;
  });
  if (impl_->Lost()) {
    ShowMessage(host_, kOwnTextMessage,
                "The connection to the INDI server " + choice_.host + ":" + std::to_string(choice_.port) +
                    " was lost.");
    return -2;
  }
  if (!finished) {
    ShowMessage(host_, kOwnTextMessage, "The INDI mount's " + property + " stayed Busy.");
    return -3;
  }
  if (c.state == IPS_ALERT) {
    ShowMessage(host_, kOwnTextMessage, "The INDI mount refused the guide pulse (" + property + ").");
    return -4;
  }
  return 0;
}

char IndiMount::GotoPosition(double ra_hours, double dec_degrees, const std::string& name,
                             std::string& reply) {
  reply.clear();
  if (!Open()) return '\0';
  PropertyCopy coord_set;
  if (impl_->Get(choice_.mount, "ON_COORD_SET", coord_set)) {
    const bool has_track =
        std::find(coord_set.names.begin(), coord_set.names.end(), "TRACK") != coord_set.names.end();
    impl_->SendSwitches(choice_.mount, "ON_COORD_SET", {has_track ? "TRACK" : "SLEW"});
  }
  const uint64_t before = impl_->Updates();
  if (!impl_->SendNumbers(choice_.mount, "EQUATORIAL_EOD_COORD", {{"RA", ra_hours}, {"DEC", dec_degrees}})) {
    reply = "No EQUATORIAL_EOD_COORD";
    return '1';
  }
  {
    const std::lock_guard lock(impl_->mutex);
    ++impl_->gotos;
  }
  PropertyCopy c;
  const bool answered = WaitFor(clock_, kIndiReplyMs, [&] {
    return impl_->Lost() || (impl_->Get(choice_.mount, "EQUATORIAL_EOD_COORD", c) && c.updates > before);
  });
  if (!answered || impl_->Lost() || c.state == IPS_ALERT) {
    reply = name + " refused";
    ShowMessage(host_, kOwnTextMessage,
                "The INDI mount " + Quoted(choice_.mount) + " did not take the go-to to " + name + " (RA " +
                    Sexagesimal(ra_hours, false) + ", Dec " + Sexagesimal(dec_degrees, true) + ").");
    return '1';
  }
  reply = name + " RA" + Sexagesimal(ra_hours, false) + " DE" + Sexagesimal(dec_degrees, true);
  return '0';
}

char IndiMount::GotoCoordinates(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes,
                                std::string& reply) {
  // As on the serial link: 0 degrees always counts as north.
  const double dec = dec_degrees < 0 ? dec_degrees - dec_minutes / 60.0 : dec_degrees + dec_minutes / 60.0;
  return GotoPosition(ra_hours + ra_minutes / 60.0, dec, "OBJ", reply);
}

char IndiMount::GotoCatalogue(char letter, int number, std::string& reply) {
  const double jd = JulianDay(std::time(nullptr));
  std::optional<SkyPosition> where;
  std::string name;
  if (letter == 'm') {
    where = MessierOfDate(number, jd);
    name = "M" + std::to_string(number);
  } else if (letter == 's') {
    where = PlanetOfDate(number, jd);
    name = PlanetName(number);
  }
  if (!where) {
    reply = "Not in Nyxel's catalogue";
    ShowMessage(
        host_, kOwnTextMessage,
        std::string(letter == 's' ? "Star" : "NGC") + " " + std::to_string(number) +
            " is only in the LX200's own catalogue. On an INDI mount, go to Messier objects and planets "
            "by name, or to anything else by its R.A. and Dec.");
    return '1';
  }
  return GotoPosition(where->ra_hours, where->dec_degrees, name, reply);
}

void IndiMount::StartSlew(char rate, char direction) {
  if (!IsOpen()) return;
  PropertyCopy rates;
  if (impl_->Get(choice_.mount, "TELESCOPE_SLEW_RATE", rates) && !rates.names.empty()) {
    // Guide, centre, find, slew onto the mount's own rates by position, slowest to fastest.
    const int index = rate == 'G' ? 0 : rate == 'C' ? 1 : rate == 'M' ? 2 : 3;
    const size_t n = rates.names.size();
    const size_t pick = static_cast<size_t>(std::lround(index * (static_cast<double>(n) - 1) / 3.0));
    impl_->SendSwitches(choice_.mount, "TELESCOPE_SLEW_RATE", {rates.names[std::min(pick, n - 1)]});
  }
  PropertyCopy track;
  tracking_before_move_ =
      impl_->Get(choice_.mount, "TELESCOPE_TRACK_STATE", track) && !track.on.empty() && track.on[0];
  switch (direction) {
    case 'n':
      impl_->SendSwitches(choice_.mount, "TELESCOPE_MOTION_NS", {"MOTION_NORTH"});
      break;
    case 's':
      impl_->SendSwitches(choice_.mount, "TELESCOPE_MOTION_NS", {"MOTION_SOUTH"});
      break;
    case 'e':
      impl_->SendSwitches(choice_.mount, "TELESCOPE_MOTION_WE", {"MOTION_EAST"});
      break;
    case 'w':
      impl_->SendSwitches(choice_.mount, "TELESCOPE_MOTION_WE", {"MOTION_WEST"});
      break;
    default:
      break;
  }
}

void IndiMount::StopSlew() {
  if (!IsOpen()) return;
  impl_->SendSwitches(choice_.mount, "TELESCOPE_MOTION_NS", {});
  impl_->SendSwitches(choice_.mount, "TELESCOPE_MOTION_WE", {});
  impl_->SendSwitches(choice_.mount, "TELESCOPE_ABORT_MOTION", {"ABORT"});
  // Some drivers stop tracking on an abort: a hand move must leave the mount tracking as it was.
  if (tracking_before_move_) {
    WaitFor(clock_, 200, [] { return false; });
    PropertyCopy track;
    if (impl_->Get(choice_.mount, "TELESCOPE_TRACK_STATE", track) && !(track.on.size() > 0 && track.on[0]))
      impl_->SendSwitches(choice_.mount, "TELESCOPE_TRACK_STATE", {"TRACK_ON"});
  }
}

void IndiMount::StartFocus(bool fast, bool inward) {
  focusing_ = true;
  focus_fast_ = fast;
  focus_inward_ = inward;
  focus_start_ = clock_.NowMs();
}

void IndiMount::StopFocus() {
  if (!focusing_) return;
  focusing_ = false;
  const int32_t held = ElapsedMs(clock_.NowMs(), focus_start_);
  if (held > 0) FocusFor(focus_inward_, focus_fast_, static_cast<uint32_t>(held));
}

bool IndiMount::FocusFor(bool inward, bool fast, uint32_t ms) {
  const std::string& focuser = choice_.focuser;
  if (focuser.empty()) {
    ShowMessage(host_, kOwnTextMessage, "No INDI focuser is chosen: choose one in Set Program Defaults.");
    return false;
  }
  if (!Open()) return false;
  impl_->SendSwitches(focuser, "FOCUS_MOTION", {inward ? "FOCUS_INWARD" : "FOCUS_OUTWARD"});
  std::string property;
  const uint64_t before = impl_->Updates();
  if (impl_->Has(focuser, "FOCUS_TIMER")) {
    property = "FOCUS_TIMER";
    impl_->SendNumbers(focuser, property, {{"FOCUS_TIMER_VALUE", ms}});
  } else if (impl_->Has(focuser, "REL_FOCUS_POSITION")) {
    property = "REL_FOCUS_POSITION";
    const double steps =
        std::max(1.0, std::round(ms / 1000.0 * (fast ? choice_.focus_fast_steps : choice_.focus_slow_steps)));
    impl_->SendNumbers(focuser, property, {{"FOCUS_RELATIVE_POSITION", steps}});
  } else {
    ShowMessage(host_, kOwnTextMessage,
                "The INDI focuser " + Quoted(focuser) + " has neither FOCUS_TIMER nor REL_FOCUS_POSITION.");
    return false;
  }
  PropertyCopy c;
  const bool finished = WaitFor(clock_, ms + kIndiBusyGraceMs, [&] {
    return impl_->Lost() || (impl_->Get(focuser, property, c) && c.updates > before && c.state != IPS_BUSY);
  });
  if (!finished || impl_->Lost() || c.state == IPS_ALERT) {
    ShowMessage(host_, kOwnTextMessage,
                "The INDI focuser " + Quoted(focuser) + " did not finish the move (" + property + ").");
    return false;
  }
  return true;
}

IndiMountPosition IndiMount::Position() const {
  IndiMountPosition p;
  PropertyCopy c;
  if (impl_->Get(choice_.mount, "EQUATORIAL_EOD_COORD", c) && c.numbers.size() >= 2) {
    p.valid = true;
    for (size_t i = 0; i < c.names.size(); ++i) {
      if (c.names[i] == "RA") p.ra_hours = c.numbers[i];
      if (c.names[i] == "DEC") p.dec_degrees = c.numbers[i];
    }
    p.busy = c.state == IPS_BUSY;
  }
  const std::lock_guard lock(impl_->mutex);
  p.gotos = impl_->gotos;
  return p;
}

std::vector<std::string> IndiMount::Devices() const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->devices;
}

bool IndiMount::Number(const std::string& device, const std::string& property, const std::string& element,
                       double& value) const {
  PropertyCopy c;
  if (!impl_->Get(device, property, c)) return false;
  for (size_t i = 0; i < c.names.size() && i < c.numbers.size(); ++i) {
    if (c.names[i] == element) {
      value = c.numbers[i];
      return true;
    }
  }
  return false;
}

}  // namespace nyxel
