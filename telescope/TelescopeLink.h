#pragma once
// The serial link to the telescope (LX200 commands) or to the guider control box (relay bytes): the
// link state and the fixed command sequences, with their exact characters, counts and waits.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/Clock.h"
#include "core/Drive.h"
#include "core/Host.h"
#include "files/Session.h"
#include "files/Settings.h"
#include "telescope/SerialPort.h"
#include "telescope/TelescopeBackend.h"

namespace nyxel {

inline constexpr int kSerialQueueBytes = 1024;
inline constexpr size_t kReplyTextLimit = 33;
inline constexpr int kMessageLinkFailed = 36;

// Control-box bytes: one bit per direction; kRelayBit closes the relay of the direction in the low bits.
inline constexpr uint8_t kBoxEast = 1;
inline constexpr uint8_t kBoxNorth = 2;
inline constexpr uint8_t kBoxSouth = 4;
inline constexpr uint8_t kBoxWest = 8;
inline constexpr uint8_t kRelayBit = 0x10;
inline constexpr uint8_t kBoxReset = 13;

struct TelescopeLink {
  TelescopeLink() = default;
  TelescopeLink(const TelescopeLink&) = delete;
  TelescopeLink& operator=(const TelescopeLink&) = delete;

  // The port the commands go to. Null: a QtSerialPort on the drive's device, made on first open.
  SerialPort* port = nullptr;
  // --simulate: the simulated mount at the far end of that port's pseudo-terminal.
  SerialPeer* peer = nullptr;
  std::unique_ptr<SerialPort> own_port;
  // Set: the telescope is on an INDI server, and every command below goes there instead of the port.
  std::unique_ptr<TelescopeBackend> backend;

  int PortIndex = 0;
  bool TelescopeLinkOpen = false;  // opened in this run (and not closed by a failure since)
  bool ControlBoxPresent = false;  // the last open succeeded
  char GuideDirection = 'e';       // the letter actually sent (after drive_directions)
  int GuidePulseMs = 0;
  std::string ReplyText;  // the last reply read, at most 33 characters
  std::string PortName;   // the device the port was last opened on, for messages
  bool NoAnswer = false;  // the last exchange that expects a reply got none at all

  // The telescope dialog's commands; they survive closing and reopening it.
  std::string SlewRateCommand = "#:RS#";
  std::string MoveCommand;
  std::string FocusSpeedCommand = "#:FS#";
  std::string FocusCommand;
  bool Moving = false;
  bool Focusing = false;
};

// 0 (the first port) when com_port is 1, else 1.
int PortIndex(const Settings& settings);
// The letter drive_directions sends for compass direction 'n', 's', 'e' or 'w'; 0 for any other.
char DriveLetter(const Settings& settings, char compass);
// The control box's relay bit for drive letter 'n', 's', 'e' or 'w'; 0 for any other.
uint8_t BoxByte(char letter);
// The port in use (making the QtSerialPort when none was given).
SerialPort& LinkPort(TelescopeLink& link, const Drive& drive);

// The line settings of the two interfaces. True when the port is open and set; on a failure the
// message ("ERROR %d ", then "Open Communications Failed") has been shown and the port is closed.
bool OpenLX200Link(TelescopeLink& link, const Settings& settings, const Drive& drive, Host& host);
bool OpenControlBoxLink(TelescopeLink& link, const Settings& settings, const Drive& drive, Host& host);
// The link for a telescope command or guiding: when not open yet, reloads the settings and opens the
// interface guide_interface names. A failure sets guide_interface to 'n' and shows message 36.
bool OpenTelescopeLink(TelescopeLink& link, Session& session);
// Closes the port; the next telescope command opens it again.
void CloseLink(TelescopeLink& link);

// Control-box operations; 0, or the failed call's code (shown, port closed).
int ResetControlBox(TelescopeLink& link, Host& host, Clock& clock);
int ControlBoxMove(TelescopeLink& link, Host& host, Clock& clock);
int ControlBoxStop(TelescopeLink& link, Host& host);

// A guide pulse of GuidePulseMs in GuideDirection: relay bytes for interface 'b', else LX200 commands.
int GuidePulse(TelescopeLink& link, char guide_interface, Host& host, Clock& clock);

// Go-to commands; they return the telescope's status character ('0': slewing; 0: none came).
// letter 'm' Messier, 's' star catalogue, anything else CNGC; number 0..9999. When nothing at all
// comes back (a mount that is off, the wrong port) they set NoAnswer and show NoAnswerText; the link
// stays open for the next try.
char GotoCatalogue(TelescopeLink& link, Host& host, Clock& clock, char letter, int number);
char GotoCoordinates(TelescopeLink& link, Host& host, Clock& clock, int ra_hours, int ra_minutes,
                     int dec_degrees, int dec_minutes);
void ReadObjectInfo(TelescopeLink& link, Clock& clock);
// "The telescope did not answer on serial port N (device)".
std::string NoAnswerText(const TelescopeLink& link);

void StartSlew(TelescopeLink& link);
void StopSlew(TelescopeLink& link);
void StartFocus(TelescopeLink& link);
void StopFocus(TelescopeLink& link);

}  // namespace nyxel
