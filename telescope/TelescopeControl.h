#pragma once
// What the telescope dialogs (and the batch steps) do with their values: the range checks with their
// message boxes, the go-to commands, the stored rate and focus-speed commands, and manual moves that
// start on a press and stop on the release.
#include <array>
#include <string_view>

#include "core/Clock.h"
#include "core/Host.h"
#include "files/Settings.h"
#include "telescope/TelescopeLink.h"

namespace nyxel {

inline constexpr std::string_view kRangeCaption = "Nyxel_RV9 - Control Telescope";
inline constexpr std::string_view kObjectOutOfRange = "Object out of range - try again";
inline constexpr std::string_view kCoordinatesCaption = "Nyxel_R9 - Control Telescope";
inline constexpr std::string_view kInvalidCoordinates =
    "Invalid Co-ordinates set.\n\nRange is R.A. 0hr 00min, to 23hr 59mins\n        Dec  -89deg 00min, to "
    "+89deg 59mins";
inline constexpr std::string_view kHelpCaption = "Nyxel - Control Telescope";
inline constexpr std::string_view kHelpText =
    "Enter a Messier or CNGC number and press the GoTo Object button.\n\nIf you enter both numbers the "
    "Messier will be favoured. To use CGNC numbers ensure the Messier number is 0";

struct Planet {
  std::string_view name;
  int number;  // in the star catalogue
};
inline constexpr std::array<Planet, 8> kPlanets = {{{"Mercury", 901},
                                                    {"Venus", 902},
                                                    {"Mars", 904},
                                                    {"Jupiter", 905},
                                                    {"Saturn", 906},
                                                    {"Uranus", 907},
                                                    {"Neptune", 908},
                                                    {"Pluto", 909}}};

// The rate commands by name: 'S' slew, 'M' find, 'C' centre, 'G' guide; focus 'F' fast, 'S' slow.
inline constexpr std::array<std::string_view, 4> kRateCommands = {"#:RS#", "#:RM#", "#:RC#", "#:RG#"};
inline constexpr std::string_view kFocusFast = "#:FF#";
inline constexpr std::string_view kFocusSlow = "#:FS#";
inline constexpr std::string_view kFocusIn = "#:F+#";
inline constexpr std::string_view kFocusOut = "#:F-#";

// "GoTo Object": a Messier number 1..110 wins, else a CNGC number 1..7815, else the range message and
// nothing is sent. True when a go-to was sent and the telescope answered; `status` gets its status
// character.
bool GotoObject(TelescopeLink& link, Host& host, Clock& clock, long messier, long cngc, char& status);
// "Go To ": hours 0..23, minutes 0..59, degrees -89..89, Dec minutes 0..59, else the message. False
// also when the telescope did not answer (said so).
bool GotoChecked(TelescopeLink& link, Host& host, Clock& clock, long ra_hours, long ra_minutes,
                 long dec_degrees, long dec_minutes, char& status);
void ShowTelescopeHelp(Host& host);

// Which radio button the stored commands check: 0..3 for Slew, Find, Centre, Guide; fast is true when
// the focus speed is fast.
int RateIndex(const TelescopeLink& link);
bool FocusFast(const TelescopeLink& link);

// Manual moves on the LX200: a press starts the move in the letter's direction (nothing while one is
// moving), the release stops it (only while moving). Focus likewise with kFocusIn or kFocusOut.
void BeginMove(TelescopeLink& link, char letter);
void EndMove(TelescopeLink& link);
void BeginFocus(TelescopeLink& link, std::string_view command);
void EndFocus(TelescopeLink& link);
// The same on the control box.
void BeginBoxMove(TelescopeLink& link, Host& host, Clock& clock, char letter);
void EndBoxMove(TelescopeLink& link, Host& host);

}  // namespace nyxel
