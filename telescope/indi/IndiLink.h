#pragma once
// Puts a running program's telescope link on an INDI server (or back on the serial port), as the
// window and nyxel-batch both do at start-up and when the choice changes.
#include "telescope/IndiChoice.h"
#include "telescope/Observatory.h"

namespace nyxel {

// The link goes to an INDI mount when `choice` is enabled, else back to the serial port; with
// --simulate the simulated sky follows that mount. Nothing is connected until the first command.
void UseIndiLink(Observatory& obs, const IndiChoice& choice);
// Reads the saved choice (only the "indi.*" keys) and, when it is enabled, puts the link on it and
// makes the record's guide_interface say LX200 (in memory). Returns the choice read.
IndiChoice StartSavedIndiLink(Observatory& obs);

}  // namespace nyxel
