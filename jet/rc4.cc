#include "jet/rc4.h"

#include <utility>

namespace jet {

Rc4::Rc4(std::span<const std::uint8_t> key) {
  for (int k = 0; k < 256; ++k) s_[k] = static_cast<std::uint8_t>(k);
  std::uint8_t j = 0;
  for (int k = 0; k < 256; ++k) {
    j = static_cast<std::uint8_t>(j + s_[k] + key[k % key.size()]);
    std::swap(s_[k], s_[j]);
  }
}

void Rc4::apply(std::span<std::uint8_t> bytes) {
  for (auto& b : bytes) {
    i_ = static_cast<std::uint8_t>(i_ + 1);
    j_ = static_cast<std::uint8_t>(j_ + s_[i_]);
    std::swap(s_[i_], s_[j_]);
    b ^= s_[static_cast<std::uint8_t>(s_[i_] + s_[j_])];
  }
}

void decryptPage(std::span<std::uint8_t> page, std::uint32_t dbKey, std::uint32_t pageNumber) {
  const std::uint32_t k = dbKey ^ pageNumber;
  const std::uint8_t key[4] = {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
                               static_cast<std::uint8_t>(k >> 16),
                               static_cast<std::uint8_t>(k >> 24)};
  Rc4 rc4(key);
  rc4.apply(page);
}

}  // namespace jet
