// Text conversions: database code pages and Jet 4's UTF-16 (with its
// compression) to UTF-8, and back for the writer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace jet {

bool equalsIgnoreCase(const std::string& a, const std::string& b);

// Bytes in Windows code page `codePage` (1252, 1250, 932, ...) to UTF-8.
// Unknown code pages are read as 1252; bytes the code page does not define
// come out as U+FFFD.
std::string decodeCodePage(std::span<const std::uint8_t> bytes, std::uint16_t codePage);
// UTF-8 to code page `codePage`; nullopt when some character has no encoding there.
std::optional<std::string> encodeCodePage(const std::string& utf8, std::uint16_t codePage);

// UTF-16LE to UTF-8; lone surrogates become U+FFFD, an odd last byte is dropped.
std::string decodeUtf16(std::span<const std::uint8_t> bytes);
// A Jet 4 text value: compressed when it starts with FF FE, else plain UTF-16LE.
std::string decodeJet4Text(std::span<const std::uint8_t> bytes);
// UTF-8 to UTF-16LE bytes.
std::string encodeUtf16(const std::string& utf8);

}  // namespace jet
