// RC4 keystream, as Jet uses it for the header mask and for encrypted pages.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace jet {

class Rc4 {
 public:
  explicit Rc4(std::span<const std::uint8_t> key);
  // XORs the keystream over bytes, in place.
  void apply(std::span<std::uint8_t> bytes);

 private:
  std::array<std::uint8_t, 256> s_{};
  std::uint8_t i_ = 0, j_ = 0;
};

// Decrypts page `pageNumber` of an encrypted database with key `dbKey`.
void decryptPage(std::span<std::uint8_t> page, std::uint32_t dbKey, std::uint32_t pageNumber);

}  // namespace jet
