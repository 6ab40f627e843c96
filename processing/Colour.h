#pragma once
// Colour from the sensor's mosaic, and the commands that work on the colour planes.
#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "core/Host.h"
#include "core/ImageStore.h"
#include "files/Session.h"
#include "files/Settings.h"

namespace nyxel {

inline constexpr std::string_view kColourProgressCaption = "COLOUR CALCULATION IN PROGRESS";
inline constexpr std::string_view kBalanceProgressCaption = "COLOUR BALANCE IN PROGRESS";
inline constexpr std::string_view kAntiAliasProgressCaption = "ANTI-ALIAS PROGRESS";

// Message-table numbers the colour commands use.
inline constexpr int kMessageNotColourConverted = 7;
inline constexpr int kMessageAlreadyColourConverted = 22;
inline constexpr int kMessageColourSettingsLoad = 23;
inline constexpr int kMessageColourSettingsSave = 24;

// Command results.
inline constexpr int kColourDone = 0;
inline constexpr int kColourRefused = 1;    // the refusal message has been shown
inline constexpr int kColourCancelled = 2;  // the dialog was cancelled; nothing changed

// The mean of columns 3, 4 and 5 over rows 20..219 (the sensor's covered columns), integer division.
int BiasMean(const Frame& frame);
// Pixels below the mean become 0, other pixels below 65500 lose the mean, saturated ones stay.
void RemoveBias(Frame& frame, int mean);

// The colour synthesis after its dialog: bias removal, the mosaic rows into the three planes and the
// luminance, the options of `settings` (background equalisation, automatic stretch, high pass, unsharp
// mask, anti-alias), undo planes. Sets ColourConverted. Does not refresh the picture.
void SynthesizeColour(ImageStore& store, Host& host, const Settings& settings);

// Light-pollution correction: lowers each plane by its background mode above the darkest plane's.
void EqualiseBackground(ImageStore& store);

// The colour balance starting values (BalanceStart), each -10..127.
struct ColourBalance {
  int red = 0;
  int green = 0;
  int blue = 0;
};
inline constexpr int kBalanceMin = -10;
inline constexpr int kBalanceMax = 127;

// The balance dialog's three 128-bin histograms (bin = value / 2) of rows 10..289.
struct BalanceHistograms {
  std::array<uint32_t, 128> red{};
  std::array<uint32_t, 128> green{};
  std::array<uint32_t, 128> blue{};
};
BalanceHistograms CountBalanceHistograms(const ImageStore& store);

// Subtracts twice the starting values from the planes (values of 245 and above and black pixels stay),
// after copying the planes to the undo planes.
void BalanceColours(ImageStore& store, Host& host, const ColourBalance& start);

// Replaces the planes by their 5 x 5 medians plus the mean high-pass detail of the three planes; the
// three-pixel frame keeps its values. Does not touch the undo planes.
void AntiAlias(ImageStore& store, Host& host);

// ChromaticShift: red and blue plane shifts, each -3..3.
struct ChromaticShift {
  int red_horizontal = 0;
  int red_vertical = 0;
  int blue_horizontal = 0;
  int blue_vertical = 0;
};
inline constexpr int kChromaticLimit = 3;

// Copies CurrentFrame to SecondFrame and the planes to the undo planes, then shifts the red and blue
// planes; a labelled frame keeps its banner rows.
void AdjustChromatism(ImageStore& store, const ChromaticShift& shift);

// The 1 2 1 / 2 4 2 / 1 2 1 low pass on each plane (undo planes refreshed first); the frame stays.
void LowPassColour(ImageStore& store);

// Copies the undo planes back into the planes.
void UndoColourFilter(ImageStore& store);

// ---- The commands as the menu runs them (refusals, settings file, picture refresh). ----

// Shows "Image not Colour Converted" and returns false when the planes are not valid.
bool RequireColour(Session& session);

// The whole "Synthesize Colour Image" command. `dialog` edits the settings and returns false on Cancel;
// pass none when the stored options are to be used without asking (the exposure run, nyxel-batch).
using ColourDialogFn = std::function<bool(Settings&)>;
int SynthesizeColourCommand(Session& session, const ColourDialogFn& dialog);

// The balance dialog's OK: nothing happens when every starting value is 0 and the saturation factor is
// unchanged; a changed saturation factor is saved in the settings file. Refreshes when it changed anything.
int BalanceColoursCommand(Session& session, const ColourBalance& start, int saturation_factor);

int AntiAliasCommand(Session& session);
int ChromatismCommand(Session& session, const ChromaticShift& shift);
int LowPassColourCommand(Session& session);
int UndoColourFilterCommand(Session& session);

}  // namespace nyxel
