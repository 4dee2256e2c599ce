#include "jet/header.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/layout/header.h"
#include "jet/rc4.h"

namespace jet {
namespace {

namespace L = layout;

bool hasText(std::span<const std::uint8_t> page, std::size_t offset, const char* text) {
  const std::size_t n = std::strlen(text);
  return page.size() >= offset + n && std::memcmp(page.data() + offset, text, n) == 0;
}

DatabaseHeader parseJet12(std::span<const std::uint8_t> page0, const std::string& path,
                          bool encrypted) {
  ByteReader r(page0, Where{path, 0});
  std::uint8_t mark = r.u8(L::kJet12VersionOffset);
  if (encrypted) mark ^= 0x61;
  DatabaseHeader h;
  switch (mark) {
    case 7: h.version = JetVersion::Jet1_0; break;
    case 8: h.version = JetVersion::Jet1_1; break;
    case 9: h.version = JetVersion::Jet2; break;
    default:
      throw notADatabase(path, "unknown Jet 1.x/2.0 version mark " + std::to_string(mark));
  }
  if (encrypted) throw unsupported(path, "it is an encrypted Jet " + versionText(h.version) + " file");
  h.pageSize = 2048;
  h.sortOrder = r.u16(L::kJet12SortOrder);
  h.codePage = r.u16(L::kJet12CodePage);
  return h;
}

bool passwordSet(const ByteReader& r, const DatabaseHeader& h) {
  if (h.version == JetVersion::Jet3) {
    const auto pw = r.span(L::kPassword, L::kPasswordLengthJet3);
    return std::any_of(pw.begin(), pw.end(), [](std::uint8_t b) { return b != 0; });
  }
  // Jet 4 masks the password with the creation date's integer part, repeated.
  const auto pw = r.span(L::kPassword, L::kPasswordLengthJet4);
  const double date = h.creationDate;
  std::uint32_t mask = 0;
  if (date > -2147483648.0 && date < 2147483648.0) {
    mask = static_cast<std::uint32_t>(static_cast<std::int32_t>(date));
  }
  for (std::size_t i = 0; i < pw.size(); ++i) {
    const std::uint8_t m = static_cast<std::uint8_t>(mask >> (8 * (i % 4)));
    if ((pw[i] ^ m) != 0) return true;
  }
  return false;
}

}  // namespace

void unmaskHeader(std::span<std::uint8_t> page0, JetVersion version) {
  const std::size_t n = version == JetVersion::Jet4 ? L::kMaskLengthJet4 : L::kMaskLengthJet3;
  Rc4 rc4(L::kMaskKey);
  rc4.apply(page0.subspan(L::kMaskOffset, n));
}

DatabaseHeader parseHeader(std::span<const std::uint8_t> page0, const std::string& path) {
  if (page0.size() < L::kMinFileSize) throw notADatabase(path, "the file is too short");
  const bool jet34 = page0[0] == 0 && page0[1] == 1 && page0[2] == 0 && page0[3] == 0;
  if (jet34 && hasText(page0, L::kMagicOffset, "Standard ACE DB")) {
    throw unsupported(path, "it is an Access 2007 or later (ACE) database");
  }
  if (jet34 && (hasText(page0, L::kMagicOffset, "Standard Jet DB") ||
                hasText(page0, L::kMagicOffset, "Jet System DB"))) {
    DatabaseHeader h;
    const std::uint8_t code = page0[L::kVersionOffset];
    if (code == 0) {
      h.version = JetVersion::Jet3;
    } else if (code == 1) {
      h.version = JetVersion::Jet4;
    } else {
      throw unsupported(path, "unknown file format version " + std::to_string(code));
    }
    h.pageSize = pageSizeOf(h.version);
    std::vector<std::uint8_t> copy(page0.begin(), page0.begin() + L::kMinFileSize);
    unmaskHeader(copy, h.version);
    ByteReader r(copy, Where{path, 0});
    h.codePage = r.u16(L::kCodePage);
    h.databaseKey = r.u32(L::kDatabaseKey);
    if (h.version == JetVersion::Jet4) {
      h.sortOrder = r.u16(L::kSortOrderJet4);
      h.sortVersion = r.u8(L::kSortVersionJet4);
      h.creationDate = r.f64(L::kCreationDateJet4);
    } else {
      h.sortOrder = r.u16(L::kSortOrderJet3);
    }
    h.hasPassword = passwordSet(r, h);
    return h;
  }
  const bool richMark = hasText(page0, L::kRichOffset, "Rich");
  if (richMark && page0[0] == 1 && page0[1] == 0 && page0[2] == 0 && page0[3] == 0) {
    return parseJet12(page0, path, false);
  }
  if (richMark && std::memcmp(page0.data(), L::kJet12EncryptedMark, 4) == 0) {
    return parseJet12(page0, path, true);
  }
  throw notADatabase(path);
}

}  // namespace jet
