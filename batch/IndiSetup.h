#pragma once
// nyxel-batch and the INDI telescope link: the choice saved in the program's own settings file is used
// from the start of a run, and a run that uses it keeps the real clock (the server's mount moves in
// real time).
#include "batch/CommandLine.h"
#include "core/Drive.h"
#include "telescope/IndiChoice.h"
#include "telescope/Observatory.h"

namespace nyxel::batch {

// True when the saved choice or a `telescope-indi HOST:PORT ...` step puts the telescope on INDI.
bool IndiInUse(const CommandLine& line, const Drive& drive);
// Reads the saved choice (only the "indi.*" keys matter here) and, when enabled, puts the link on it.
void StartSavedIndi(Observatory& obs);
}  // namespace nyxel::batch
