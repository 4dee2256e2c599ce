#include "jet/writer_properties.h"

#include <cstring>
#include <map>
#include <optional>

#include "jet/error.h"
#include "jet/text.h"

namespace jet {
namespace {

constexpr std::uint16_t kNameBlock = 0x80;
constexpr std::uint16_t kOwnMap = 0x00;
constexpr std::uint16_t kColumnMap = 0x01;

ByteBuffer textBytes(const std::string& s, PropertyTextForm form, const std::string& what) {
  if (form.unicode) {
    const std::string raw = encodeUtf16(s);
    return ByteBuffer(raw.begin(), raw.end());
  }
  const std::optional<std::string> raw = encodeCodePage(s, form.codePage);
  if (!raw) {
    throw unsupported(what, "the property text '" + s + "' holds a character that code page " +
                                std::to_string(form.codePage) + " cannot hold");
  }
  return ByteBuffer(raw->begin(), raw->end());
}

// A property value in its column encoding; text is never compressed here.
ByteBuffer valueBytes(const Property& p, PropertyTextForm form, const std::string& what) {
  ByteBuffer b;
  const Value& v = p.value;
  if (isNull(v)) return b;
  if (const auto* s = std::get_if<std::string>(&v)) return textBytes(*s, form, what);
  if (const auto* x = std::get_if<bool>(&v)) return ByteBuffer{static_cast<std::uint8_t>(*x ? 0xFF : 0x00)};
  if (const auto* x = std::get_if<std::uint8_t>(&v)) return ByteBuffer{*x};
  if (const auto* x = std::get_if<std::int16_t>(&v)) {
    addU16(b, static_cast<std::uint16_t>(*x));
  } else if (const auto* x = std::get_if<std::int32_t>(&v)) {
    addU32(b, static_cast<std::uint32_t>(*x));
  } else if (const auto* x = std::get_if<Currency>(&v)) {
    addU64(b, static_cast<std::uint64_t>(x->scaled));
  } else if (const auto* x = std::get_if<float>(&v)) {
    std::uint32_t bits;
    std::memcpy(&bits, x, sizeof bits);
    addU32(b, bits);
  } else if (const auto* x = std::get_if<double>(&v)) {
    addF64(b, *x);
  } else if (const auto* x = std::get_if<DateTime>(&v)) {
    addF64(b, x->oaDate);
  } else if (const auto* x = std::get_if<Bytes>(&v)) {
    b = *x;
  } else if (const auto* x = std::get_if<Guid>(&v)) {
    b.assign(x->bytes.begin(), x->bytes.end());
  } else {
    throw unsupported(what, "property '" + p.name + "' has a value of a kind properties cannot hold");
  }
  return b;
}

}  // namespace

ByteBuffer encodePropertyBlob(const std::vector<PropertyMap>& maps, const std::string& what,
                              PropertyTextForm form) {
  std::vector<std::string> names;
  std::map<std::string, std::uint16_t> index;
  bool any = false;
  for (const PropertyMap& m : maps) {
    for (const Property& p : m.properties) {
      any = true;
      if (index.emplace(p.name, static_cast<std::uint16_t>(names.size())).second) {
        names.push_back(p.name);
      }
    }
  }
  if (!any) return {};
  ByteBuffer out = form.unicode ? ByteBuffer{'M', 'R', '2', 0} : ByteBuffer{'K', 'K', 'D', 0};
  ByteBuffer list;
  for (const std::string& n : names) {
    const ByteBuffer b = textBytes(n, form, what);
    addU16(list, static_cast<std::uint16_t>(b.size()));
    addBytes(list, b);
  }
  addU32(out, static_cast<std::uint32_t>(6 + list.size()));
  addU16(out, kNameBlock);
  addBytes(out, list);
  for (const PropertyMap& m : maps) {
    if (m.properties.empty()) continue;
    ByteBuffer block;
    const ByteBuffer name = textBytes(m.name, form, what);
    addU32(block, static_cast<std::uint32_t>(6 + name.size()));
    addU16(block, static_cast<std::uint16_t>(name.size()));
    addBytes(block, name);
    for (const Property& p : m.properties) {
      const ByteBuffer data = valueBytes(p, form, what);
      addU16(block, static_cast<std::uint16_t>(8 + data.size()));
      addU8(block, p.ddl);
      addU8(block, p.type);
      addU16(block, index.at(p.name));
      addU16(block, static_cast<std::uint16_t>(data.size()));
      addBytes(block, data);
    }
    addU32(out, static_cast<std::uint32_t>(6 + block.size()));
    addU16(out, m.name.empty() ? kOwnMap : kColumnMap);
    addBytes(out, block);
  }
  return out;
}

}  // namespace jet
