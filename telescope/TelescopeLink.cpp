#include "telescope/TelescopeLink.h"

#include <algorithm>
#include <cstdio>

#include "core/Messages.h"
#include "files/SettingsFile.h"
#include "telescope/QtSerialPort.h"

namespace nyxel {
namespace {

constexpr int kMessageSettingsLoad = 20;
constexpr std::string_view kOpenFailed = "Open Communications Failed";
constexpr int kCommandLength = 5;

void WaitUntil(Clock& clock, uint32_t deadline) {
  const int32_t left = ElapsedMs(deadline, clock.NowMs());
  if (left > 0) clock.Pause(static_cast<uint32_t>(left));
}

// A failed call in opening or in a control-box byte: its code is shown and the port closed, so the next
// command opens it again instead of writing into a closed port.
int Failed(TelescopeLink& link, Host& host, int code) {
  ShowMessage(host, kOwnTextMessage, "ERROR " + std::to_string(code) + " ");
  CloseLink(link);
  return code;
}

void Send(SerialPort& port, std::string_view command) {
  port.Puts(command.data(), static_cast<int>(command.size()));
}

std::string Read(SerialPort& port, int n) {
  std::string text(static_cast<size_t>(n), '\0');
  const int got = port.Gets(text.data(), n);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

// The port of an open link, or null when nothing may be sent.
SerialPort* OpenPort(TelescopeLink& link) {
  return link.TelescopeLinkOpen ? link.port : nullptr;
}

}  // namespace

uint8_t BoxByte(char letter) {
  switch (letter) {
    case 'e':
      return kBoxEast;
    case 'n':
      return kBoxNorth;
    case 's':
      return kBoxSouth;
    case 'w':
      return kBoxWest;
    default:
      return 0;
  }
}

namespace {

bool IsDirection(char letter) {
  return BoxByte(letter) != 0;
}

// The status character and refusal text after "#:MS#", as both go-to commands read them. A far end
// that sends nothing at all is said so once (each further read would only wait out its time-out).
char ReadSlewReply(TelescopeLink& link, SerialPort& port, Host& host) {
  link.ReplyText = Read(port, static_cast<int>(kReplyTextLimit));
  const std::string status = Read(port, 1);
  link.NoAnswer = link.ReplyText.empty() && status.empty();
  if (link.NoAnswer) {
    ShowMessage(host, kOwnTextMessage, NoAnswerText(link));
    return '\0';
  }
  const char c = status.empty() ? '\0' : status[0];
  if (c != '0') {
    // The telescope explains the refusal.
    link.ReplyText = Read(port, static_cast<int>(kReplyTextLimit));
    port.RxClear();
  }
  return c;
}

bool OpenPortSequence(TelescopeLink& link, const Settings& settings, const Drive& drive, Host& host,
                      bool lx200) {
  SerialPort& port = LinkPort(link, drive);
  link.PortIndex = PortIndex(settings);
  link.PortName = drive.SerialPort(link.PortIndex + 1).string();
  // The sequence stops at the first refused call: one message says why, not one per later call on
  // the closed port.
  int code = port.Reset(link.PortIndex, kSerialQueueBytes, kSerialQueueBytes);
  if (code >= 0) code = port.Baud(lx200 ? kBaud9600 : kBaud300);
  if (code >= 0 && lx200) code = port.Dtr(kLineSet);
  if (code >= 0 && lx200) code = port.Rts(kLineSet);
  if (code >= 0) code = port.Parms(0, 0, 8);
  if (code < 0) {
    Failed(link, host, code);
    ShowMessage(host, kOwnTextMessage, kOpenFailed);
    return false;
  }
  return true;
}

}  // namespace

int PortIndex(const Settings& settings) {
  return settings.com_port == 1 ? 0 : 1;
}

char DriveLetter(const Settings& settings, char compass) {
  switch (compass) {
    case 'n':
      return settings.drive_directions[0];
    case 's':
      return settings.drive_directions[1];
    case 'e':
      return settings.drive_directions[2];
    case 'w':
      return settings.drive_directions[3];
    default:
      return 0;
  }
}

SerialPort& LinkPort(TelescopeLink& link, const Drive& drive) {
  if (!link.port) {
    link.own_port = std::make_unique<QtSerialPort>(drive, link.peer);
    link.port = link.own_port.get();
  }
  return *link.port;
}

bool OpenLX200Link(TelescopeLink& link, const Settings& settings, const Drive& drive, Host& host) {
  return OpenPortSequence(link, settings, drive, host, true);
}

bool OpenControlBoxLink(TelescopeLink& link, const Settings& settings, const Drive& drive, Host& host) {
  if (!OpenPortSequence(link, settings, drive, host, false)) return false;
  link.TelescopeLinkOpen = true;
  link.ControlBoxPresent = true;
  return true;
}

bool OpenTelescopeLink(TelescopeLink& link, Session& session) {
  // An INDI server: (re)connected on every command, so a server that came back is used again.
  if (link.backend) {
    link.TelescopeLinkOpen = link.backend->Open();
    return link.TelescopeLinkOpen;
  }
  if (link.TelescopeLinkOpen) return true;
  Settings& settings = session.settings;
  if (LoadSettings(settings, session.drive, session.host) != 0) {
    ShowMessage(session.host, kMessageSettingsLoad);
    SaveSettings(settings, session.drive);
  }
  const bool opened = settings.guide_interface == 'b'
                          ? OpenControlBoxLink(link, settings, session.drive, session.host)
                          : OpenLX200Link(link, settings, session.drive, session.host);
  if (!opened) {
    settings.guide_interface = 'n';
    ShowMessage(session.host, kMessageLinkFailed);
    return false;
  }
  link.TelescopeLinkOpen = true;
  link.ControlBoxPresent = true;
  return true;
}

void CloseLink(TelescopeLink& link) {
  if (link.port) link.port->Done();
  link.TelescopeLinkOpen = false;
  link.ControlBoxPresent = false;
  link.Moving = false;
  link.Focusing = false;
}

int ResetControlBox(TelescopeLink& link, Host& host, Clock& clock) {
  if (link.backend) return 0;
  SerialPort* port = OpenPort(link);
  if (!port) return kSerialNotOpen;
  int code = port->RxClear();
  if (code >= 0) code = port->Rts(kLineClear);
  if (code >= 0) code = port->Dtr(kLineClear);
  if (code < 0) return Failed(link, host, code);
  clock.Pause(200);
  code = port->Rts(kLineSet);
  if (code >= 0) code = port->Dtr(kLineSet);
  if (code < 0) return Failed(link, host, code);
  clock.Pause(300);
  for (const uint8_t byte : {kBoxReset, uint8_t{0}, uint8_t{0}}) {
    code = port->Putc(byte);
    if (code < 0) return Failed(link, host, code);
  }
  return 0;
}

int ControlBoxMove(TelescopeLink& link, Host& host, Clock& clock) {
  // The relays move the mount at its guide rate.
  if (link.backend) {
    link.backend->StartSlew('G', link.GuideDirection);
    return 0;
  }
  SerialPort* port = OpenPort(link);
  if (!port) return kSerialNotOpen;
  const uint8_t direction = BoxByte(link.GuideDirection);
  if (direction == 0) return 0;
  const uint32_t start = clock.NowMs();
  int code = port->Putc(direction);
  if (code < 0) return Failed(link, host, code);
  WaitUntil(clock, start + 1);
  code = port->Putc(direction | kRelayBit);
  if (code < 0) return Failed(link, host, code);
  return 0;
}

int ControlBoxStop(TelescopeLink& link, Host& host) {
  if (link.backend) {
    link.backend->StopSlew();
    return 0;
  }
  SerialPort* port = OpenPort(link);
  if (!port) return kSerialNotOpen;
  const int code = port->Putc(0);
  return code < 0 ? Failed(link, host, code) : 0;
}

int GuidePulse(TelescopeLink& link, char guide_interface, Host& host, Clock& clock) {
  if (link.backend) return link.backend->GuidePulse(link.GuideDirection, std::max(link.GuidePulseMs, 0));
  SerialPort* port = OpenPort(link);
  if (!port) return kSerialNotOpen;
  const char d = link.GuideDirection;
  if (!IsDirection(d)) return 0;
  const uint32_t pulse = static_cast<uint32_t>(link.GuidePulseMs > 0 ? link.GuidePulseMs : 0);
  const uint32_t start = clock.NowMs();
  if (guide_interface == 'b') {
    const uint8_t direction = BoxByte(d);
    int code = port->Putc(direction);
    if (code < 0) return Failed(link, host, code);
    WaitUntil(clock, start + 1);
    code = port->Putc(direction | kRelayBit);
    if (code < 0) return Failed(link, host, code);
    clock.Pause(pulse);
    code = port->Putc(0);
    if (code < 0) return Failed(link, host, code);
    clock.Pause(4);
    return 0;
  }
  Send(*port, "#:RG#");
  WaitUntil(clock, start + 20);
  const char move[] = {'#', ':', 'M', d, '#'};
  Send(*port, std::string_view(move, kCommandLength));
  WaitUntil(clock, clock.NowMs() + pulse);
  const char quit[] = {'#', ':', 'Q', d, '#'};
  Send(*port, std::string_view(quit, kCommandLength));
  clock.Pause(4);
  return 0;
}

char GotoCatalogue(TelescopeLink& link, Host& host, Clock& clock, char letter, int number) {
  link.NoAnswer = false;
  if (link.backend) {
    host.Beep();
    return link.backend->GotoCatalogue(letter, number, link.ReplyText);
  }
  SerialPort* port = OpenPort(link);
  if (!port || number < 0 || number > 9999) return '\0';
  const char* prefix = letter == 'm' ? "#:LM " : letter == 's' ? "#:LS " : "#:LC ";
  char command[16];
  std::snprintf(command, sizeof command, "%s%04d#", prefix, number);
  link.ReplyText.clear();
  port->RxClear();
  const uint32_t start = clock.NowMs();
  port->Puts(command, 10);
  Send(*port, "#:LI#");
  WaitUntil(clock, start + 1);
  host.Beep();
  Send(*port, "#:MS#");
  clock.Pause(1);
  const char c = ReadSlewReply(link, *port, host);
  if (!link.NoAnswer) ReadObjectInfo(link, clock);
  return c;
}

char GotoCoordinates(TelescopeLink& link, Host& host, Clock& clock, int ra_hours, int ra_minutes,
                     int dec_degrees, int dec_minutes) {
  link.NoAnswer = false;
  if (link.backend) {
    host.Beep();
    return link.backend->GotoCoordinates(ra_hours, ra_minutes, dec_degrees, dec_minutes, link.ReplyText);
  }
  SerialPort* port = OpenPort(link);
  if (!port) return '\0';
  // Only values the dialog's range check lets through fit the fixed lengths.
  if (ra_hours < 0 || ra_hours > 99 || ra_minutes < 0 || ra_minutes > 99 || dec_degrees < -99 ||
      dec_degrees > 99 || dec_minutes < 0 || dec_minutes > 99) {
    return '\0';
  }
  char ra[16];
  std::snprintf(ra, sizeof ra, "#:Sr %02d:%02d.0#", ra_hours, ra_minutes);
  char dec[16];
  std::snprintf(dec, sizeof dec, "#:Sd %c%02d*%02d#", dec_degrees < 0 ? '-' : '+',
                dec_degrees < 0 ? -dec_degrees : dec_degrees, dec_minutes);
  link.ReplyText.clear();
  port->RxClear();
  const uint32_t start = clock.NowMs();
  port->Puts(ra, 13);
  port->Puts(dec, 12);
  Send(*port, "#:LI#");
  WaitUntil(clock, start + 1);
  host.Beep();
  Send(*port, "#:MS#");
  clock.Pause(1);
  return ReadSlewReply(link, *port, host);
}

void ReadObjectInfo(TelescopeLink& link, Clock& clock) {
  if (link.backend) return;  // the go-to has already filled ReplyText
  SerialPort* port = OpenPort(link);
  if (!port) return;
  Send(*port, "#:LI#");
  clock.Pause(200);
  link.ReplyText = Read(*port, static_cast<int>(kReplyTextLimit));
  if (!Read(*port, 1).empty()) {
    Read(*port, static_cast<int>(kReplyTextLimit));
    port->RxClear();
  }
}

std::string NoAnswerText(const TelescopeLink& link) {
  return "The telescope did not answer on serial port " + std::to_string(link.PortIndex + 1) + " (" +
         link.PortName + ")";
}

void StartSlew(TelescopeLink& link) {
  if (link.backend) {
    const auto fourth = [](const std::string& c) { return c.size() > 3 ? c[3] : '\0'; };
    link.backend->StartSlew(fourth(link.SlewRateCommand), fourth(link.MoveCommand));
    return;
  }
  SerialPort* port = OpenPort(link);
  if (!port) return;
  port->RxClear();
  Send(*port, std::string_view(link.SlewRateCommand).substr(0, kCommandLength));
  port->RxClear();
  Send(*port, std::string_view(link.MoveCommand).substr(0, kCommandLength));
}

void StopSlew(TelescopeLink& link) {
  link.Moving = false;
  if (link.backend) {
    link.backend->StopSlew();
    return;
  }
  SerialPort* port = OpenPort(link);
  if (!port) return;
  port->RxClear();
  for (const std::string_view quit : {"#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}) Send(*port, quit);
}

void StartFocus(TelescopeLink& link) {
  if (link.backend) {
    link.backend->StartFocus(link.FocusSpeedCommand.size() > 3 && link.FocusSpeedCommand[3] == 'F',
                             link.FocusCommand.size() > 3 && link.FocusCommand[3] == '+');
    return;
  }
  SerialPort* port = OpenPort(link);
  if (!port) return;
  port->RxClear();
  Send(*port, std::string_view(link.FocusSpeedCommand).substr(0, kCommandLength));
  port->RxClear();
  Send(*port, std::string_view(link.FocusCommand).substr(0, kCommandLength));
}

void StopFocus(TelescopeLink& link) {
  link.Moving = false;
  link.Focusing = false;
  if (link.backend) {
    link.backend->StopFocus();
    return;
  }
  SerialPort* port = OpenPort(link);
  if (!port) return;
  port->RxClear();
  Send(*port, "#:FQ#");
}

}  // namespace nyxel
