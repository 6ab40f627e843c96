#include "telescope/TelescopeControl.h"

namespace nyxel {

bool GotoObject(TelescopeLink& link, Host& host, Clock& clock, long messier, long cngc, char& status) {
  if (messier >= 1 && messier <= 110) {
    status = GotoCatalogue(link, host, clock, 'm', static_cast<int>(messier));
  } else if (cngc >= 1 && cngc <= 7815) {
    status = GotoCatalogue(link, host, clock, 'c', static_cast<int>(cngc));
  } else {
    host.MessageBox(kObjectOutOfRange, kRangeCaption);
    return false;
  }
  // A mount that did not answer has been reported by the go-to.
  return !link.NoAnswer;
}

bool GotoChecked(TelescopeLink& link, Host& host, Clock& clock, long ra_hours, long ra_minutes,
                 long dec_degrees, long dec_minutes, char& status) {
  if (ra_hours < 0 || ra_hours > 23 || ra_minutes < 0 || ra_minutes > 59 || dec_degrees < -89 ||
      dec_degrees > 89 || dec_minutes < 0 || dec_minutes > 59) {
    host.MessageBox(kInvalidCoordinates, kCoordinatesCaption);
    return false;
  }
  status = GotoCoordinates(link, host, clock, static_cast<int>(ra_hours), static_cast<int>(ra_minutes),
                           static_cast<int>(dec_degrees), static_cast<int>(dec_minutes));
  return !link.NoAnswer;
}

void ShowTelescopeHelp(Host& host) {
  host.MessageBox(kHelpText, kHelpCaption);
}

int RateIndex(const TelescopeLink& link) {
  const char c = link.SlewRateCommand.size() > 3 ? link.SlewRateCommand[3] : 0;
  return c == 'S' ? 0 : c == 'M' ? 1 : c == 'C' ? 2 : 3;
}

bool FocusFast(const TelescopeLink& link) {
  return link.FocusSpeedCommand.size() > 3 && link.FocusSpeedCommand[3] == 'F';
}

void BeginMove(TelescopeLink& link, char letter) {
  if (link.Moving) return;
  link.MoveCommand = std::string("#:M") + letter + "#";
  StartSlew(link);
  link.Moving = true;
}

void EndMove(TelescopeLink& link) {
  if (!link.Moving) return;
  StopSlew(link);
  link.Moving = false;
}

void BeginFocus(TelescopeLink& link, std::string_view command) {
  if (link.Focusing) return;
  link.FocusCommand = std::string(command);
  StartFocus(link);
  link.Focusing = true;
}

void EndFocus(TelescopeLink& link) {
  if (!link.Focusing) return;
  StopFocus(link);
  link.Focusing = false;
}

void BeginBoxMove(TelescopeLink& link, Host& host, Clock& clock, char letter) {
  if (link.Moving) return;
  link.GuideDirection = letter;
  ControlBoxMove(link, host, clock);
  link.Moving = true;
}

void EndBoxMove(TelescopeLink& link, Host& host) {
  if (!link.Moving) return;
  ControlBoxStop(link, host);
  link.Moving = false;
}

}  // namespace nyxel
