#pragma once
// The contrast stretches: a 32,768-entry tone table built from a formula, then applied to CurrentFrame
// (each 16-bit pixel p becomes 2 x table[p / 2]), with one history line per stretch.
#include <array>
#include <cstdint>

#include "core/History.h"
#include "core/Host.h"
#include "core/ImageStore.h"

namespace nyxel {

inline constexpr int kStretchTableSize = 32768;
inline constexpr int kStretchTableMax = 32767;
// Entry i is the output level (0..32,767) for input level i.
using StretchTable = std::array<int16_t, kStretchTableSize>;

// Ranges the dialogs allow; the operations refuse values outside them.
inline constexpr int kNormalBlackMax = 255;
inline constexpr int kNormalWhiteMax = 300;
inline constexpr int kNonLinearPowerMin = 2;
inline constexpr int kNonLinearPowerMax = 50;
inline constexpr double kPowerMin = 0.1;
inline constexpr double kPowerMax = 3.0;

// Table builders. Every entry comes out within 0..32,767.
void BuildNormalTable(StretchTable& table, int black, int white);  // 0 <= black < white <= 300
void BuildPowerTable(StretchTable& table, double power);
void BuildSineTable(StretchTable& table);
void BuildBackgroundTable(StretchTable& table, int black_level);  // 3 <= black_level <= 255
void BuildNonLinearTable(StretchTable& table, int power);
void BuildLogTable(StretchTable& table);
void BuildAntilogTable(StretchTable& table);
void BuildInvertTable(StretchTable& table);

// The colour synthesis' curve: entry i = P x 16,384 x x / (x (P - 1) + 1) with x = i / 16,384, for every
// entry (the upper half continues the same curve so bright luminance stays above darker pixels), then
// the history line "Non-Linear Stretch : power " + truncate(P). It does not apply the table.
void BuildNonLinearTable14(StretchTable& table, double power, ProcessingHistory& history);

// CurrentFrame -> UndoFrame, then every pixel p (except the 10 banner rows of a labelled frame) becomes
// 2 x table[p / 2], with the "CONTRAST STRETCH" progress window. The display refresh is the caller's.
void ApplyStretchTable(ImageStore& store, Host& host, const StretchTable& table);

// The Contrast menu's stretches: build into `table` (kept by the caller as the last table built), apply,
// add the history line. None refreshes the display. Those returning bool return false and change nothing
// (no table, no image, no history) when refused.
bool NormalStretch(ImageStore& store, Host& host, StretchTable& table, int black, int white);
bool PowerStretch(ImageStore& store, Host& host, StretchTable& table, double power);
void SineStretch(ImageStore& store, Host& host, StretchTable& table);
// Uses store.BlackLevel; does nothing at all below 3.
bool RemoveBackground(ImageStore& store, Host& host, StretchTable& table);
bool NonLinearStretch(ImageStore& store, Host& host, StretchTable& table, int power);
void LogStretch(ImageStore& store, Host& host, StretchTable& table);
void AntilogStretch(ImageStore& store, Host& host, StretchTable& table);
void InvertStretch(ImageStore& store, Host& host, StretchTable& table);

}  // namespace nyxel
