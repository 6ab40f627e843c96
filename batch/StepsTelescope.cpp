// The telescope steps: go-to by catalogue or coordinates, the rate and focus-speed buttons, manual
// moves and focus moves held for a time, and guide pulses on either interface.
#include <map>
#include <string>

#include "batch/BatchHost.h"
#include "batch/BatchStep.h"
#include "core/Messages.h"
#include "telescope/TelescopeControl.h"
#include "telescope/TelescopeLink.h"

namespace nyxel::batch {
namespace {

constexpr long kHoldLimitMs = 600000;

// The telescope command's enabler and opening: a telescope must be chosen and the link must open;
// `lx200` steps need the LX200 interface.
bool Link(StepContext& c, bool lx200) {
  const char interface = c.session.settings.guide_interface;
  if (interface == 'n') {
    c.host.MessageBox("No telescope interface is set: setting guide_interface l or b", kMessageCaption);
    return false;
  }
  if (lx200 && interface == 'b') {
    c.host.MessageBox("The control box only moves the mount: this needs guide_interface l", kMessageCaption);
    return false;
  }
  return OpenTelescopeLink(c.obs.link, c.session);
}

bool Compass(const std::string& text, char& compass) {
  if (text.size() != 1 || std::string("nsew").find(text[0]) == std::string::npos) return false;
  compass = text[0];
  return true;
}

void PrintReply(StepContext& c, char status) {
  c.out << (status != '\0' ? status : '-') << '\n' << c.obs.link.ReplyText << '\n';
}

const RegisterStep kGoto{{"telescope-goto", 2, "m|c|s N", [](StepContext& c, const Args& a) {
                            long number = 0;
                            if ((a[0] != "m" && a[0] != "c" && a[0] != "s") ||
                                !ParseInt(a[1], a[0] == "s" ? 0 : -99999, 9999, number)) {
                              return kStepUsage;
                            }
                            if (!Link(c, true)) return kStepFailed;
                            TelescopeLink& link = c.obs.link;
                            char status = '\0';
                            if (a[0] == "s") {
                              status =
                                  GotoCatalogue(link, c.host, c.session.clock, 's', static_cast<int>(number));
                              if (link.NoAnswer) return kStepFailed;
                            } else if (!GotoObject(link, c.host, c.session.clock, a[0] == "m" ? number : 0,
                                                   a[0] == "c" ? number : 0, status)) {
                              return kStepFailed;
                            }
                            PrintReply(c, status);
                            // An INDI mount that refused (or a number it cannot have) fails the run.
                            if (link.backend && status != '0') return kStepFailed;
                            return kStepOk;
                          }}};

const RegisterStep kCoords{
    {"telescope-coords", 4, "H M D M", [](StepContext& c, const Args& a) {
       long v[4] = {};
       for (int i = 0; i < 4; ++i) {
         if (!ParseInt(a[i], -99999, 99999, v[i])) return kStepUsage;
       }
       if (!Link(c, true)) return kStepFailed;
       char status = '\0';
       if (!GotoChecked(c.obs.link, c.host, c.session.clock, v[0], v[1], v[2], v[3], status)) {
         return kStepFailed;
       }
       PrintReply(c, status);
       return kStepOk;
     }}};

const RegisterStep kRate{{"telescope-rate", 1, "slew|find|centre|guide", [](StepContext& c, const Args& a) {
                            static const std::map<std::string, size_t> kRates = {
                                {"slew", 0}, {"find", 1}, {"centre", 2}, {"guide", 3}};
                            const auto it = kRates.find(a[0]);
                            if (it == kRates.end()) return kStepUsage;
                            c.obs.link.SlewRateCommand = std::string(kRateCommands[it->second]);
                            return kStepOk;
                          }}};

const RegisterStep kFocusSpeed{{"focus-speed", 1, "fast|slow", [](StepContext& c, const Args& a) {
                                  if (a[0] != "fast" && a[0] != "slow") return kStepUsage;
                                  c.obs.link.FocusSpeedCommand =
                                      std::string(a[0] == "fast" ? kFocusFast : kFocusSlow);
                                  return kStepOk;
                                }}};

const RegisterStep kMove{{"telescope-move", 2, "n|s|e|w MS", [](StepContext& c, const Args& a) {
                            char compass = 0;
                            long ms = 0;
                            if (!Compass(a[0], compass) || !ParseInt(a[1], 0, kHoldLimitMs, ms))
                              return kStepUsage;
                            if (!Link(c, false)) return kStepFailed;
                            TelescopeLink& link = c.obs.link;
                            const char letter = DriveLetter(c.session.settings, compass);
                            if (c.session.settings.guide_interface == 'b') {
                              BeginBoxMove(link, c.host, c.session.clock, letter);
                              c.session.clock.Pause(static_cast<uint32_t>(ms));
                              EndBoxMove(link, c.host);
                            } else {
                              BeginMove(link, letter);
                              c.session.clock.Pause(static_cast<uint32_t>(ms));
                              EndMove(link);
                            }
                            return link.TelescopeLinkOpen ? kStepOk : kStepFailed;
                          }}};

const RegisterStep kFocus{{"telescope-focus", 2, "in|out MS", [](StepContext& c, const Args& a) {
                             long ms = 0;
                             if ((a[0] != "in" && a[0] != "out") || !ParseInt(a[1], 0, kHoldLimitMs, ms)) {
                               return kStepUsage;
                             }
                             if (!Link(c, true)) return kStepFailed;
                             BeginFocus(c.obs.link, a[0] == "in" ? kFocusIn : kFocusOut);
                             c.session.clock.Pause(static_cast<uint32_t>(ms));
                             EndFocus(c.obs.link);
                             return kStepOk;
                           }}};

const RegisterStep kPulse{{"guide-pulse", 2, "n|s|e|w MS", [](StepContext& c, const Args& a) {
                             char compass = 0;
                             long ms = 0;
                             if (!Compass(a[0], compass) || !ParseInt(a[1], 0, kHoldLimitMs, ms))
                               return kStepUsage;
                             if (!Link(c, false)) return kStepFailed;
                             TelescopeLink& link = c.obs.link;
                             link.GuideDirection = DriveLetter(c.session.settings, compass);
                             link.GuidePulseMs = static_cast<int>(ms);
                             return GuidePulse(link, c.session.settings.guide_interface, c.host,
                                               c.session.clock) == 0
                                        ? kStepOk
                                        : kStepFailed;
                           }}};

}  // namespace
}  // namespace nyxel::batch
