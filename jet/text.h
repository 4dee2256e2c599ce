// Text conversions: database code pages and Jet 4's UTF-16 (with its
// compression) to UTF-8, and back for the writer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

bool equalsIgnoreCase(const std::string& a, const std::string& b);

// Bytes in Windows code page `codePage` (1252, 1250, 932, ...) to UTF-8.
// Unknown code pages are read as 1252; bytes the code page does not define
// come out as U+FFFD.
std::string decodeCodePage(std::span<const std::uint8_t> bytes, std::uint16_t codePage);
// The same into `out`, whose storage is reused (row decoding calls it per value).
void decodeCodePage(std::span<const std::uint8_t> bytes, std::uint16_t codePage, std::string& out);
// UTF-8 to code page `codePage`; nullopt when some character has no encoding there.
std::optional<std::string> encodeCodePage(const std::string& utf8, std::uint16_t codePage);
// The same into `out` (its storage reused); false when a character does not fit.
bool encodeCodePage(std::string_view utf8, std::uint16_t codePage, std::vector<std::uint8_t>& out);

// Code pages whose bytes 0x00-0x7F are ASCII (checked against iconv), so
// ASCII text needs no conversion in either direction.
bool asciiCompatible(std::uint16_t codePage);

// The length of the run of ASCII bytes other than NUL (0x01-0x7F) that
// `bytes` starts with: such bytes are the same in UTF-8, code pages and
// compressed Jet 4 text.
std::size_t asciiRun(const std::uint8_t* bytes, std::size_t length);

// UTF-16LE to UTF-8; lone surrogates become U+FFFD, an odd last byte is dropped.
std::string decodeUtf16(std::span<const std::uint8_t> bytes);
// A Jet 4 text value: compressed when it starts with FF FE, else plain UTF-16LE.
std::string decodeJet4Text(std::span<const std::uint8_t> bytes);
// The same into `out`, whose storage is reused.
void decodeJet4Text(std::span<const std::uint8_t> bytes, std::string& out);
// A Jet 4 text value to UTF-16 units: the units of decodeJet4Text's UTF-8
// (lone surrogates become U+FFFD), without making it.
void decodeJet4Units(std::span<const std::uint8_t> bytes, std::u16string& out);
// UTF-8 to UTF-16LE bytes; bytes that are not UTF-8 become U+FFFD.
std::string encodeUtf16(const std::string& utf8);
// UTF-8 to UTF-16 units in `out` (storage reused); bytes that are not UTF-8
// become U+FFFD, as do encoded surrogates.
void utf8ToUtf16(std::string_view utf8, std::u16string& out);

}  // namespace jet
