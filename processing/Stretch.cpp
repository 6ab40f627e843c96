#include "processing/Stretch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "core/Display.h"
#include "processing/Simd.h"
#include "processing/StretchCache.h"

namespace nyxel {
namespace {

// Truncates toward zero and keeps the entry within the table's 0..32,767, without branches: NaN and
// negative values give 0, the top holds at 32,767.
inline int16_t Entry(double value) {
  const double low = value > 0.0 ? value : 0.0;
  return static_cast<int16_t>(low < kStretchTableMax ? low : kStretchTableMax);
}

// The formulas are defined in extended precision. Each entry is first worked out in double, which is
// fast and far more accurate than the truncation needs (errors below 1e-10 of an entry). Only an entry
// within kGuard of a whole number n could truncate differently; for those the extended-precision value
// is compared with n, so every entry equals the extended-precision formula's. (Comparing, rather than
// converting the extended value to an integer, keeps the slow x87-to-integer path out of the loop.)
constexpr double kGuard = 1e-7;

template <class Exact>
inline void PutEntry(StretchTable& table, int i, double fast, Exact exact) {
  // The nearest whole number by the round-to-nearest of an addition (floor is a library call on plain
  // x86-64); ties may go either way, and a tie is never within kGuard.
  constexpr double kRound = 6755399441055744.0;  // 1.5 x 2^52
  // Far beyond the table (or NaN) the entry is the clamp, and no whole number is near.
  const double nearest = std::fabs(fast) < 1e15 ? (fast + kRound) - kRound : fast;
  if (!(std::fabs(fast) < 1e15) || !(std::fabs(fast - nearest) < kGuard)) [[likely]] {
    table[i] = Entry(fast);
    return;
  }
  // fast is within kGuard of n, and so is the extended value: it truncates to n or n - 1.
  const int n = static_cast<int>(nearest);
  const int truncated = exact(i) >= static_cast<long double>(n) ? n : n - 1;
  table[i] = static_cast<int16_t>(truncated < 0                  ? 0
                                  : truncated > kStretchTableMax ? kStretchTableMax
                                                                 : truncated);
}

// The vectors PutEntryLanes works in, L doubles wide.
template <int L>
struct EntryVectors;
template <>
struct EntryVectors<2> {
  typedef double Doubles __attribute__((vector_size(16)));
  typedef int64_t Mask __attribute__((vector_size(16)));
  typedef int32_t Ints __attribute__((vector_size(8)));
};
template <>
struct EntryVectors<4> {
  typedef double Doubles __attribute__((vector_size(32)));
  typedef int64_t Mask __attribute__((vector_size(32)));
  typedef int32_t Ints __attribute__((vector_size(16)));
};

// PutEntry for entries first .. first + k - 1 from their double values, L at a time in vector
// registers (k, returned, is n rounded down to a multiple of L); a group with an entry near a whole
// number goes through PutEntry itself. Always inlined, so it takes its caller's instruction set.
template <int L, class Exact>
__attribute__((always_inline)) inline int PutEntryLanes(StretchTable& table, int first, int n,
                                                        const double* fast, Exact& exact) {
  using Doubles = typename EntryVectors<L>::Doubles;
  using Mask = typename EntryVectors<L>::Mask;
  using Ints = typename EntryVectors<L>::Ints;
  constexpr double kRound = 6755399441055744.0;
  const Doubles zero = Doubles{} + 0.0, top = Doubles{} + static_cast<double>(kStretchTableMax),
                guard = Doubles{} + kGuard, huge = Doubles{} + 1e15, round = Doubles{} + kRound;
  const Mask sign = Mask{} + INT64_MAX;
  int k = 0;
  for (; k + L <= n; k += L) {
    Doubles f;
    std::memcpy(&f, fast + k, sizeof f);
    const Doubles magnitude = reinterpret_cast<Doubles>(reinterpret_cast<Mask>(f) & sign);
    const Doubles nearest = magnitude < huge ? (f + round) - round : f;
    const Doubles distance = reinterpret_cast<Doubles>(reinterpret_cast<Mask>(f - nearest) & sign);
    const Mask near = distance < guard;
    bool any = false;
    for (int l = 0; l < L; ++l) any |= near[l] != 0;
    if (any) {
      for (int l = 0; l < L; ++l) PutEntry(table, first + k + l, fast[k + l], exact);
      continue;
    }
    const Doubles low = f > zero ? f : zero;
    const Ints e = __builtin_convertvector(low < top ? low : top, Ints);
    for (int l = 0; l < L; ++l) table[first + k + l] = static_cast<int16_t>(e[l]);
  }
  return k;
}

#ifdef NYXEL_X86
template <class Exact>
__attribute__((target("avx2"))) int PutEntriesAvx2(StretchTable& table, int first, int n, const double* fast,
                                                   Exact& exact) {
  return PutEntryLanes<4>(table, first, n, fast, exact);
}
#endif

// PutEntry for entries first .. first + n - 1 from their double values.
template <class Exact>
void PutEntries(StretchTable& table, int first, int n, const double* fast, Exact exact) {
#ifdef NYXEL_X86
  const int done = ActiveSimdPath() == SimdPath::kAvx2 ? PutEntriesAvx2(table, first, n, fast, exact)
                                                       : PutEntryLanes<2>(table, first, n, fast, exact);
#else
  const int done = PutEntryLanes<2>(table, first, n, fast, exact);
#endif
  for (int k = done; k < n; ++k) PutEntry(table, first + k, fast[k], exact);
}

// Entries first .. end - 1 from `fast` (double) and `exact` (extended) values, in chunks.
template <class Fast, class Exact>
void FillRange(StretchTable& table, int first, int end, Fast fast, Exact exact) {
  constexpr int kChunk = 256;
  double values[kChunk];
  for (int start = first; start < end; start += kChunk) {
    const int n = std::min(kChunk, end - start);
    for (int k = 0; k < n; ++k) values[k] = fast(start + k);
    PutEntries(table, start, n, values, exact);
  }
}

template <class Fast, class Exact>
void FillTable(StretchTable& table, Fast fast, Exact exact) {
  FillRange(table, 0, kStretchTableSize, fast, exact);
}

// The last table each builder made and the parameters it was made for: the same stretch again is a copy.
struct TableCache {
  bool valid = false;
  std::array<uint64_t, 2> key{};
  StretchTable table;
};

enum CacheSlot {
  kNormalSlot,
  kPowerSlot,
  kSineSlot,
  kBackgroundSlot,
  kNonLinearSlot,
  kLogSlot,
  kAntilogSlot,
  kNonLinear14Slot,
  kSlotCount
};

struct TableCaches {
  std::mutex lock;
  std::array<TableCache, kSlotCount> slots;
};

TableCaches& Caches() {
  static const auto caches = std::make_unique<TableCaches>();
  return *caches;
}

uint64_t Bits(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

template <class Build>
void Cached(CacheSlot slot, uint64_t key0, uint64_t key1, StretchTable& table, Build build) {
  TableCaches& caches = Caches();
  std::lock_guard<std::mutex> guard(caches.lock);
  TableCache& cache = caches.slots[slot];
  if (cache.valid && cache.key[0] == key0 && cache.key[1] == key1) {
    table = cache.table;
    return;
  }
  build(table);
  cache.table = table;
  cache.key = {key0, key1};
  cache.valid = true;
}

void StretchAndNote(ImageStore& store, Host& host, const StretchTable& table, const std::string& line) {
  ApplyStretchTable(store, host, table);
  AddHistoryLine(store.History, line);
}

void BuildNormal(StretchTable& table, int black, int white) {
  const long double k = 255.0L / static_cast<long double>(white - black);
  const double fast_k = 255.0 / (white - black);
  const int low = 128 * black;
  const int high = 128 * white;
  auto exact = [&](int i) { return static_cast<long double>(i - low) * k; };
  std::fill(table.begin(), table.begin() + std::min(low, kStretchTableSize), int16_t{0});
  if (low < kStretchTableSize) {
    const int end = std::min(high, kStretchTableSize);
    FillRange(
        table, low, end, [&](int i) { return (i - low) * fast_k; }, exact);
    std::fill(table.begin() + end, table.end(), int16_t{kStretchTableMax});
  }
}

// The double value of every entry before PutEntries. Builds run under the cache lock, so one buffer
// serves them all.
double* Scratch() {
  static const auto buffer = std::make_unique<std::array<double, kStretchTableSize>>();
  return buffer->data();
}

// log2(i) for i = 0..32,768 (entry 0 unused), worked out once: the power and log tables start from it.
const std::array<double, kStretchTableSize + 1>& Log2Table() {
  static const auto table = [] {
    auto t = std::make_unique<std::array<double, kStretchTableSize + 1>>();
    (*t)[0] = 0.0;
    for (int i = 1; i <= kStretchTableSize; ++i) (*t)[i] = std::log2(static_cast<double>(i));
    return t;
  }();
  return *table;
}

// 2^x for |x| < 1,000 within a few ulp, with no library call: x = q + j / 64 + r, 2^(j / 64) from 64
// stored values, e^(r ln 2) from its series to r^6 (|r ln 2| <= 0.0055, so the rest is below 1e-19), 2^q
// put into the exponent.
class Exp2 {
 public:
  Exp2() {
    for (int j = 0; j < 64; ++j) steps_[j] = std::exp2(j / 64.0);
  }
  double operator()(double x) const {
    constexpr double kRound = 6755399441055744.0;  // 1.5 x 2^52: the addition rounds to a whole number
    constexpr double kLn2 = 0.69314718055994530942;
    const double k = (x * 64.0 + kRound) - kRound;
    const double r = (x - k / 64.0) * kLn2;
    const int64_t n = static_cast<int64_t>(k);
    const double e =
        1.0 + r * (1.0 + r * (1.0 / 2 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120 + r * (1.0 / 720))))));
    const uint64_t bits = static_cast<uint64_t>((n >> 6) + 1023) << 52;  // n >> 6 rounds down
    double scale;
    std::memcpy(&scale, &bits, sizeof scale);
    return steps_[n & 63] * e * scale;
  }

 private:
  double steps_[64];
};

void BuildPower(StretchTable& table, double power) {
  // i^g / 32768^(g - 1) = 2^(g log2 i - 15 (g - 1)).
  const double shift = 15.0 * (power - 1.0);
  const long double g = power;
  const long double exact_divisor = std::pow(32768.0L, g - 1.0L);
  auto exact = [&](int i) { return std::pow(static_cast<long double>(i), g) / exact_divisor; };
  const auto& log2 = Log2Table();
  double* values = Scratch();
  values[0] = 0.0;  // 0^g
  if (power > 0.0 && power < 50.0) {
    // Odd entries from the series exp2 (the exponent stays within -735..15); even ones are
    // (2i)^g / 32768^(g - 1) = 2^g x entry i, a few ulp more per doubling.
    const Exp2 exp2;
    const double doubling = exp2(power);
    for (int i = 1; i < kStretchTableSize; i += 2) values[i] = exp2(power * log2[i] - shift);
    for (int i = 2; i < kStretchTableSize; i += 2) values[i] = values[i / 2] * doubling;
  } else {
    for (int i = 1; i < kStretchTableSize; ++i) values[i] = std::exp2(power * log2[i] - shift);
  }
  table[0] = 0;
  PutEntries(table, 1, kStretchTableSize - 1, values + 1, exact);
}

void BuildSine(StretchTable& table) {
  constexpr long double kScale = 9.585889570552147e-05L;  // 3.125 / 32,600
  auto exact = [](int i) {
    return (std::sin(static_cast<long double>(i - 16384) * kScale) + 1.0L) * 16383.0L;
  };
  // sin((128 j + m) h) = sin(128 j h) cos(m h) + cos(128 j h) sin(m h): 258 sines and cosines instead of
  // one per entry, each entry a few ulp from the sine (the guard needs 1e-7 of an entry).
  constexpr int kStep = 128;
  const double h = static_cast<double>(kScale);
  double coarse_sin[16384 / kStep + 1], coarse_cos[16384 / kStep + 1], fine_sin[kStep], fine_cos[kStep];
  for (int j = 0; j <= 16384 / kStep; ++j) {
    coarse_sin[j] = std::sin(j * kStep * h);
    coarse_cos[j] = std::cos(j * kStep * h);
  }
  for (int m = 0; m < kStep; ++m) {
    fine_sin[m] = std::sin(m * h);
    fine_cos[m] = std::cos(m * h);
  }
  // The sine is odd about entry 16,384, so one value serves both sides.
  double* values = Scratch();
  for (int k = 0; k <= 16384; ++k) {
    const int j = k / kStep, m = k % kStep;
    const double s = coarse_sin[j] * fine_cos[m] + coarse_cos[j] * fine_sin[m];
    if (16384 + k < kStretchTableSize) values[16384 + k] = (1.0 + s) * 16383.0;
    values[16384 - k] = (1.0 - s) * 16383.0;
  }
  PutEntries(table, 0, kStretchTableSize, values, exact);
}

void BuildBackground(StretchTable& table, int black_level) {
  const long double k = 255.0L / static_cast<long double>(257 - black_level);
  const double fast_k = 255.0 / (257 - black_level);
  const int threshold = 128 * black_level - 256;
  auto exact = [&](int i) { return static_cast<long double>(i - threshold) * k; };
  const int start = std::clamp(threshold, 0, kStretchTableSize);
  std::fill(table.begin(), table.begin() + start, int16_t{0});
  FillRange(
      table, start, kStretchTableSize, [&](int i) { return (i - threshold) * fast_k; }, exact);
}

// P x scale x x / (x (P - 1) + 1) with x = i / scale.
void BuildRationalTable(StretchTable& table, double power, double scale) {
  const long double p = power;
  const long double s = scale;
  FillTable(
      table,
      [&](int i) {
        const double x = i / scale;
        return power * scale * x / (x * (power - 1.0) + 1.0);
      },
      [&](int i) {
        const long double x = static_cast<long double>(i) / s;
        return p * s * x / (x * (p - 1.0L) + 1.0L);
      });
}

void BuildLog(StretchTable& table) {
  // ln(i + 1) x 3151 = log2(i + 1) x (ln 2 x 3151), a few ulp from the logarithm.
  const auto& log2 = Log2Table();
  constexpr double kScale = 0.69314718055994530942 * 3151.0;
  FillTable(
      table, [&](int i) { return log2[i + 1] * kScale; },
      [](int i) { return std::log(static_cast<long double>(i) + 1.0L) * 3151.0L; });
}

void BuildAntilog(StretchTable& table) {
  constexpr long double kScale = 0.00031735956839098697L;
  // exp((128 j + m) s) = exp(128 j s) exp(m s): 384 exponentials instead of one per entry; the product
  // is within a few ulp, far inside the guard. The brightest entries would exceed the table's range;
  // Entry holds them at 32,767 rather than letting them wrap to small values.
  constexpr int kStep = 128;
  const double s = static_cast<double>(kScale);
  double coarse[kStretchTableSize / kStep], fine[kStep];
  for (int j = 0; j < kStretchTableSize / kStep; ++j) coarse[j] = std::exp(j * kStep * s);
  for (int m = 0; m < kStep; ++m) fine[m] = std::exp(m * s);
  FillTable(
      table, [&](int i) { return coarse[i / kStep] * fine[i % kStep] - 1.0; },
      [](int i) { return std::exp(static_cast<long double>(i) * kScale) - 1.0L; });
}

}  // namespace

void BuildNormalTable(StretchTable& table, int black, int white) {
  Cached(kNormalSlot, static_cast<uint64_t>(black), static_cast<uint64_t>(white), table,
         [&](StretchTable& t) { BuildNormal(t, black, white); });
}

void BuildPowerTable(StretchTable& table, double power) {
  Cached(kPowerSlot, Bits(power), 0, table, [&](StretchTable& t) { BuildPower(t, power); });
}

void BuildSineTable(StretchTable& table) {
  Cached(kSineSlot, 0, 0, table, BuildSine);
}

void BuildBackgroundTable(StretchTable& table, int black_level) {
  Cached(kBackgroundSlot, static_cast<uint64_t>(black_level), 0, table,
         [&](StretchTable& t) { BuildBackground(t, black_level); });
}

void BuildNonLinearTable(StretchTable& table, int power) {
  Cached(kNonLinearSlot, static_cast<uint64_t>(power), 0, table,
         [&](StretchTable& t) { BuildRationalTable(t, power, 32768.0); });
}

void BuildLogTable(StretchTable& table) {
  Cached(kLogSlot, 0, 0, table, BuildLog);
}

void BuildAntilogTable(StretchTable& table) {
  Cached(kAntilogSlot, 0, 0, table, BuildAntilog);
}

void ForgetStretchTables() {
  TableCaches& caches = Caches();
  std::lock_guard<std::mutex> guard(caches.lock);
  for (TableCache& cache : caches.slots) cache.valid = false;
}

void BuildInvertTable(StretchTable& table) {
  for (int i = 0; i < kStretchTableSize; ++i) table[i] = static_cast<int16_t>(kStretchTableMax - i);
}

void BuildNonLinearTable14(StretchTable& table, double power, ProcessingHistory& history) {
  Cached(kNonLinear14Slot, Bits(power), 0, table,
         [&](StretchTable& t) { BuildRationalTable(t, power, 16384.0); });
  AddHistoryLine(history, "Non-Linear Stretch : power " + std::to_string(static_cast<long>(power)));
}

void ApplyStretchTable(ImageStore& store, Host& host, const StretchTable& table) {
  constexpr int kChunks = 16;
  constexpr int kChunkPixels = (kFramePixels - kHeaderPixels) / kChunks;  // 8,960
  constexpr int kBarRange = 256;
  BusyCursor busy(host);
  host.ProgressOpen("CONTRAST STRETCH");
  SaveUndo(store);
  uint16_t* pixels = store.CurrentFrame.data();
  auto stretch = [&table](uint16_t* p, int n) {
    for (int k = 0; k < n; ++k) p[k] = static_cast<uint16_t>(2 * table[p[k] >> 1]);
  };
  if (!LabelMarker(store)) stretch(pixels, kHeaderPixels);
  for (int chunk = 0; chunk < kChunks; ++chunk) {
    host.ProgressSetPosition(chunk * 16 * 100 / kBarRange);
    stretch(pixels + kHeaderPixels + chunk * kChunkPixels, kChunkPixels);
  }
  host.ProgressClose();
}

bool NormalStretch(ImageStore& store, Host& host, StretchTable& table, int black, int white) {
  if (black < 0 || black > kNormalBlackMax || white > kNormalWhiteMax || black >= white) return false;
  BuildNormalTable(table, black, white);
  StretchAndNote(store, host, table,
                 "Normal Stretch : max " + std::to_string(white) + " ,min " + std::to_string(black));
  return true;
}

bool PowerStretch(ImageStore& store, Host& host, StretchTable& table, double power) {
  // A hair of tolerance so 0.1 and 3.0 computed by a caller in tenths are accepted.
  if (!(power >= kPowerMin - 1e-9 && power <= kPowerMax + 1e-9)) return false;
  BuildPowerTable(table, power);
  char text[32];
  std::snprintf(text, sizeof text, "Power Stretch : %1.1f", power);
  StretchAndNote(store, host, table, text);
  return true;
}

void SineStretch(ImageStore& store, Host& host, StretchTable& table) {
  BuildSineTable(table);
  StretchAndNote(store, host, table, "Sine Stretch");
}

bool RemoveBackground(ImageStore& store, Host& host, StretchTable& table) {
  const int level = store.BlackLevel;
  // Below 3 there is no background to remove; above 255 is no display level (and would divide by <= 1).
  if (level < 3 || level > 255) return false;
  BuildBackgroundTable(table, level);
  StretchAndNote(store, host, table, "Background Removed : min " + std::to_string(level - 2));
  return true;
}

bool NonLinearStretch(ImageStore& store, Host& host, StretchTable& table, int power) {
  if (power < kNonLinearPowerMin || power > kNonLinearPowerMax) return false;
  BuildNonLinearTable(table, power);
  StretchAndNote(store, host, table, "Non-Linear Stretch : power " + std::to_string(power));
  return true;
}

void LogStretch(ImageStore& store, Host& host, StretchTable& table) {
  BuildLogTable(table);
  StretchAndNote(store, host, table, "Log Stretch");
}

void AntilogStretch(ImageStore& store, Host& host, StretchTable& table) {
  BuildAntilogTable(table);
  StretchAndNote(store, host, table, "Anti-Log Stretch");
}

void InvertStretch(ImageStore& store, Host& host, StretchTable& table) {
  BuildInvertTable(table);
  StretchAndNote(store, host, table, "Invert Image to Negative");
}

}  // namespace nyxel
