#include "fuzz/FuzzImage.h"

#include <algorithm>

namespace nyxel::fuzz {

bool MakeFileImage(const uint8_t* data, size_t size, const std::vector<std::uintmax_t>& lengths,
                   std::uintmax_t read_limit, FileImage& file) {
  if (size < 2 || lengths.empty()) return false;
  file.length = lengths[data[0] % lengths.size()];
  file.flags = data[1];
  const size_t have = static_cast<size_t>(std::min(file.length, read_limit));
  // Bit 0: the read stops early, at a point the input's own length gives.
  file.complete = (file.flags & 1) == 0;
  const size_t read = file.complete ? have : std::min(have, size - 2);
  // Zeros after the input's bytes; a buffer kept from the last run only needs its used part cleared.
  const size_t copied = std::min(read, size - 2);
  file.bytes.resize(read);
  std::copy_n(data + 2, copied, file.bytes.begin());
  const size_t dirty = std::min(read, file.used);
  if (dirty > copied)
    std::fill(file.bytes.begin() + static_cast<std::ptrdiff_t>(copied),
              file.bytes.begin() + static_cast<std::ptrdiff_t>(dirty), 0);
  file.used = copied;
  return true;
}

std::vector<uint8_t> SeedFromFile(const std::vector<uint8_t>& file,
                                  const std::vector<std::uintmax_t>& lengths, size_t keep) {
  const auto at = std::find(lengths.begin(), lengths.end(), file.size());
  std::vector<uint8_t> seed = {static_cast<uint8_t>(at == lengths.end() ? 0 : at - lengths.begin()), 0};
  seed.insert(seed.end(), file.begin(),
              file.begin() + static_cast<std::ptrdiff_t>(std::min(keep, file.size())));
  return seed;
}

}  // namespace nyxel::fuzz
