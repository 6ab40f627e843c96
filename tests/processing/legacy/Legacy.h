#pragma once
// The filters, stretches and colour steps exactly as they were before the speed work, kept as the
// reference the fast versions must match bit for bit. Same names and signatures, in nyxel::legacy.
#include "core/Host.h"
#include "core/ImageStore.h"
#include "files/Settings.h"
#include "processing/Colour.h"
#include "processing/Filter.h"
#include "processing/Stretch.h"

namespace nyxel::legacy {

void ConvolveFrame(ImageStore& store, int radius, int kernel, int divisor);
bool UnsharpMask(ImageStore& store, int radius, int power);
bool MedianFilter(ImageStore& store, int radius, int power_tenths);
void GradientFilter(ImageStore& store);
void HighPassLowPowerFilter(ImageStore& store);
void HighPassHighPowerFilter(ImageStore& store);
void SmootherSharperFilter(ImageStore& store);
void GaussianFilter(ImageStore& store);
void LowpassSmootherFilter(ImageStore& store);
void BasReliefFilter(ImageStore& store);

void BuildNormalTable(StretchTable& table, int black, int white);
void BuildPowerTable(StretchTable& table, double power);
void BuildSineTable(StretchTable& table);
void BuildBackgroundTable(StretchTable& table, int black_level);
void BuildNonLinearTable(StretchTable& table, int power);
void BuildLogTable(StretchTable& table);
void BuildAntilogTable(StretchTable& table);
void BuildInvertTable(StretchTable& table);
void BuildNonLinearTable14(StretchTable& table, double power, ProcessingHistory& history);
void ApplyStretchTable(ImageStore& store, Host& host, const StretchTable& table);
bool NormalStretch(ImageStore& store, Host& host, StretchTable& table, int black, int white);
bool PowerStretch(ImageStore& store, Host& host, StretchTable& table, double power);
void SineStretch(ImageStore& store, Host& host, StretchTable& table);
bool RemoveBackground(ImageStore& store, Host& host, StretchTable& table);
bool NonLinearStretch(ImageStore& store, Host& host, StretchTable& table, int power);
void LogStretch(ImageStore& store, Host& host, StretchTable& table);
void AntilogStretch(ImageStore& store, Host& host, StretchTable& table);
void InvertStretch(ImageStore& store, Host& host, StretchTable& table);

int BiasMean(const Frame& frame);
void RemoveBias(Frame& frame, int mean);
void SynthesizeColour(ImageStore& store, Host& host, const Settings& settings);
void EqualiseBackground(ImageStore& store);
BalanceHistograms CountBalanceHistograms(const ImageStore& store);
void BalanceColours(ImageStore& store, Host& host, const ColourBalance& start);
void AntiAlias(ImageStore& store, Host& host);
void AdjustChromatism(ImageStore& store, const ChromaticShift& shift);
void LowPassColour(ImageStore& store);
void UndoColourFilter(ImageStore& store);

}  // namespace nyxel::legacy
