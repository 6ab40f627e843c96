#include "telescope/indi/IndiLink.h"

#include <memory>

#include "telescope/indi/IndiMount.h"
#include "telescope/indi/IndiSky.h"
#include "telescope/sim/Simulation.h"

namespace nyxel {

void UseIndiLink(Observatory& obs, const IndiChoice& choice) {
  // The sky must let go of the old mount before it goes.
  if (obs.simulation) obs.simulation->sky.external_pointing = nullptr;
  obs.link.backend.reset();
  obs.link.TelescopeLinkOpen = false;
  if (!choice.enabled) return;
  auto mount = std::make_unique<IndiMount>(choice, obs.session.host, obs.session.clock);
  if (obs.simulation) {
    Session& session = obs.session;
    FollowIndiMount(obs.simulation->sky, *mount,
                    [&session] { return session.settings.fits.fits_focal_length; });
  }
  obs.link.backend = std::move(mount);
}

IndiChoice StartSavedIndiLink(Observatory& obs) {
  ProgramPrefs prefs;
  prefs.Load(obs.session.drive);
  const IndiChoice choice = LoadIndiChoice(prefs);
  if (choice.enabled) {
    UseIndiLink(obs, choice);
    MarkIndiInterface(obs.session.settings);
  }
  return choice;
}

}  // namespace nyxel
