#include "jet/property_blob.h"

#include <cstring>

#include "jet/byte_reader.h"
#include "jet/layout/property_blob.h"
#include "jet/text.h"

namespace jet {

namespace L = layout;

namespace {

struct Context {
  bool unicode;
  std::uint16_t codePage;
  std::string text(std::span<const std::uint8_t> bytes) const {
    return unicode ? decodeJet4Text(bytes) : decodeCodePage(bytes, codePage);
  }
};

std::vector<std::string> readNames(const ByteReader& r, const Context& c) {
  std::vector<std::string> names;
  for (std::size_t at = 0; at + 2 <= r.size();) {
    const std::size_t length = r.u16(at);
    names.push_back(c.text(r.span(at + 2, length)));
    at += 2 + length;
  }
  return names;
}

// A property value is stored like a column value of its type, long values inline.
Value readValue(std::uint8_t type, const ByteReader& r, const Context& c) {
  const auto need = [&](std::size_t n) { r.need(0, n, "property value"); };
  // Access 2.0 wizard libraries hold values shorter than their type; they
  // are kept as stored so a copy writes the same bytes back.
  std::size_t size = 0;
  switch (static_cast<ColumnType>(type)) {
    case ColumnType::Byte: size = 1; break;
    case ColumnType::Integer: size = 2; break;
    case ColumnType::Long: case ColumnType::Single: size = 4; break;
    case ColumnType::Currency: case ColumnType::Double: case ColumnType::DateTime: size = 8; break;
    case ColumnType::Guid: size = 16; break;
    default: break;
  }
  if (r.size() < size) return Bytes(r.bytes().begin(), r.bytes().end());
  switch (static_cast<ColumnType>(type)) {
    case ColumnType::Boolean: return r.size() > 0 && r.u8(0) != 0;
    case ColumnType::Byte: need(1); return r.u8(0);
    case ColumnType::Integer: need(2); return r.i16(0);
    case ColumnType::Long: need(4); return r.i32(0);
    case ColumnType::Currency: need(8); return Currency{r.i64(0)};
    case ColumnType::Single: need(4); return r.f32(0);
    case ColumnType::Double: need(8); return r.f64(0);
    case ColumnType::DateTime: need(8); return DateTime{r.f64(0)};
    case ColumnType::Text:
    case ColumnType::Memo: return c.text(r.bytes());
    case ColumnType::Guid: {
      need(16);
      Guid g;
      for (std::size_t i = 0; i < 16; ++i) g.bytes[i] = r.u8(i);
      return g;
    }
    default: return Bytes(r.bytes().begin(), r.bytes().end());
  }
}

PropertyMap readMap(const ByteReader& body, const std::vector<std::string>& names,
                    const Context& c) {
  PropertyMap map;
  std::size_t at = 0;
  if (body.size() >= 4) {
    const std::size_t nameBlock = body.u32(0);
    if (nameBlock < 4 || nameBlock > body.size()) {
      throw damaged(body.where(), "property map name block has length " + std::to_string(nameBlock));
    }
    if (nameBlock > 6) map.name = c.text(body.span(6, std::min<std::size_t>(body.u16(4), nameBlock - 6)));
    at = nameBlock;
  }
  while (at + L::kPropEntryValue <= body.size()) {
    const std::size_t length = body.u16(at + L::kPropEntryLength);
    if (length < L::kPropEntryValue || length > body.size() - at) {
      throw damaged(body.where(), "property entry has length " + std::to_string(length));
    }
    const ByteReader entry = body.sub(at, length);
    Property p;
    p.ddl = entry.u8(L::kPropEntryDdl);
    p.type = entry.u8(L::kPropEntryType);
    const std::size_t nameIndex = entry.u16(L::kPropEntryName);
    if (nameIndex >= names.size()) {
      throw damaged(body.where(), "property name " + std::to_string(nameIndex) + " of " +
                                      std::to_string(names.size()) + " does not exist");
    }
    p.name = names[nameIndex];
    const std::size_t valueLength = entry.u16(L::kPropEntryValueLength);
    p.value = readValue(p.type, entry.sub(L::kPropEntryValue, valueLength), c);
    map.properties.push_back(std::move(p));
    at += length;
  }
  return map;
}

}  // namespace

std::vector<PropertyMap> parsePropertyBlob(std::span<const std::uint8_t> blob, bool unicode,
                                           std::uint16_t codePage, const Where& where) {
  const ByteReader r(blob, where);
  r.need(0, L::kPropSignatureSize, "property signature");
  const bool kkd = std::memcmp(blob.data(), "KKD\0", 4) == 0;
  const bool mr2 = std::memcmp(blob.data(), "MR2\0", 4) == 0;
  if (!kkd && !mr2) throw damaged(where, "property block has an unknown signature");
  const Context c{unicode, codePage};
  std::vector<PropertyMap> maps;
  std::vector<std::string> names;
  for (std::size_t at = L::kPropSignatureSize; at + L::kPropChunkBody <= blob.size();) {
    const std::size_t length = r.u32(at + L::kPropChunkLength);
    if (length < L::kPropChunkBody || length > blob.size() - at) {
      throw damaged(where, "property chunk has length " + std::to_string(length));
    }
    const std::uint16_t type = r.u16(at + L::kPropChunkType);
    const ByteReader body = r.sub(at + L::kPropChunkBody, length - L::kPropChunkBody);
    if (type == L::kPropChunkNames) {
      names = readNames(body, c);
    } else if (type == L::kPropChunkOwnMap || type == L::kPropChunkSubMap) {
      maps.push_back(readMap(body, names, c));
    }
    at += length;
  }
  return maps;
}

}  // namespace jet
