// Helpers for the Jet 1.x/2.0 tests: the raw bytes of a corpus file (to tie
// expected values to what the file holds) and rows read through the library.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "../corpus.h"
#include "jet/database.h"
#include "jet/error.h"

namespace jet12test {

inline constexpr const char* kHor = "jet2-sighor-hor_udep-vb3app.mdb";
inline constexpr const char* kWizard = "jet2-access20-dbstructwizard-wzstruc2.mda";
inline constexpr const char* kCraze = "jet2-crystalreports-craze-sample.mdb";
inline constexpr std::size_t kPage = 2048;

inline std::vector<std::uint8_t> rawFile(const std::string& name) {
  std::ifstream in(corpus::path(name), std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Whether the file holds `needle` (bytes in the file's code page, 1252).
inline bool rawContains(const std::vector<std::uint8_t>& raw, const std::string& needle) {
  const std::vector<std::uint8_t> bytes(needle.begin(), needle.end());
  return std::search(raw.begin(), raw.end(), bytes.begin(), bytes.end()) != raw.end();
}

inline std::uint32_t rawU32(const std::vector<std::uint8_t>& raw, std::size_t at) {
  return raw.at(at) | (raw.at(at + 1) << 8) | (raw.at(at + 2) << 16) |
         (std::uint32_t(raw.at(at + 3)) << 24);
}

inline std::vector<jet::Row> allRows(const jet::Database& db, const jet::TableDef& def) {
  std::vector<jet::Row> out;
  auto cursor = db.rows(def);
  jet::Row row;
  while (cursor->next(row)) out.push_back(row);
  return out;
}

inline std::size_t columnIndex(const jet::TableDef& def, const std::string& name) {
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    if (def.columns[i].name == name) return i;
  }
  return def.columns.size();
}

// A value as short text: numbers in decimal (currency as its scaled integer,
// dates as their day number), text as UTF-8, null as <null>.
inline std::string show(const jet::Value& v) {
  struct Visitor {
    std::string operator()(const jet::Null&) const { return "<null>"; }
    std::string operator()(bool b) const { return b ? "true" : "false"; }
    std::string operator()(std::uint8_t x) const { return std::to_string(x); }
    std::string operator()(std::int16_t x) const { return std::to_string(x); }
    std::string operator()(std::int32_t x) const { return std::to_string(x); }
    std::string operator()(const jet::Currency& c) const { return std::to_string(c.scaled); }
    std::string operator()(float f) const { return number(f); }
    std::string operator()(double d) const { return number(d); }
    std::string operator()(const jet::DateTime& d) const { return number(d.oaDate); }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(const jet::Bytes& b) const { return "bytes:" + std::to_string(b.size()); }
    std::string operator()(const jet::Guid&) const { return "guid"; }
    std::string operator()(const jet::Decimal&) const { return "decimal"; }
    static std::string number(double d) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.10g", d);
      return buf;
    }
  };
  return std::visit(Visitor{}, v);
}

// Opens the file and reads every row of every local table; returns the error
// number of the jet::Error it ended in, 0 when everything was read.
inline long readEverything(const std::string& path) {
  try {
    auto db = jet::Database::open(path);
    for (const auto& entry : db->tables()) {
      if (!entry.isLocalTable()) continue;
      const jet::TableDef def = db->tableDef(entry);
      auto cursor = db->rows(def);
      jet::Row row;
      while (cursor->next(row)) {
      }
    }
    return 0;
  } catch (const jet::Error& e) {
    return e.number();
  }
}

}  // namespace jet12test
