#pragma once
// A telescope reached some other way than through the serial port (a mount and focuser on an INDI
// server). When the link has one, the link's commands go to it instead of the port; guiding, training
// and the telescope dialog never ask which they have.
#include <string>

namespace nyxel {

class TelescopeBackend {
 public:
  virtual ~TelescopeBackend() = default;
  // Connects (server and devices) when not connected yet. False: the reason has been shown.
  virtual bool Open() = 0;
  virtual bool IsOpen() const = 0;
  // A guide pulse of `ms` toward `letter` ('n', 's', 'e', 'w': the letter sent, after the e/w swap),
  // returning when the mount has finished it. 0, or negative when the mount could not be reached or
  // never finished (shown).
  virtual int GuidePulse(char letter, int ms) = 0;
  // Go-tos; the status character as the LX200 gives it ('0' slewing, '1' refused) with the text for
  // the dialog's "Info from Scope" in `reply`. letter 'm' Messier, 's' star catalogue, else CNGC.
  virtual char GotoCatalogue(char letter, int number, std::string& reply) = 0;
  virtual char GotoCoordinates(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes,
                               std::string& reply) = 0;
  // Manual moves: rate 'S' slew, 'M' find, 'C' centre, 'G' guide; direction 'n', 's', 'e', 'w'.
  virtual void StartSlew(char rate, char direction) = 0;
  virtual void StopSlew() = 0;
  // Focus moves held from StartFocus to StopFocus.
  virtual void StartFocus(bool fast, bool inward) = 0;
  virtual void StopFocus() = 0;
};

}  // namespace nyxel
