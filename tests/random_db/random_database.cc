#include "tests/random_db/random_database.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "engine/database_verify.h"
#include "jet/check.h"
#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/database_writer.h"
#include "jet/error.h"
#include "jet/value_text.h"

namespace random_db {
namespace {

using jet::ColumnType;
using jet::Value;

// Own draws, so a seed means the same database with every standard library.
class Draw {
 public:
  explicit Draw(std::uint32_t seed) : engine_(seed) {}
  std::uint32_t below(std::uint32_t n) { return n == 0 ? 0 : engine_() % n; }
  int between(int lo, int hi) { return lo + static_cast<int>(below(static_cast<std::uint32_t>(hi - lo + 1))); }
  bool chance(int percent) { return below(100) < static_cast<std::uint32_t>(percent); }
  std::uint32_t bits() { return engine_(); }
  std::uint64_t bits64() { return (static_cast<std::uint64_t>(engine_()) << 32) | engine_(); }
  template <typename T>
  const T& pick(const std::vector<T>& from) { return from[below(static_cast<std::uint32_t>(from.size()))]; }

 private:
  std::mt19937 engine_;
};

// Characters text is made of, by what the version holds (UTF-8 each).
const std::vector<std::string> kAscii = [] {
  std::vector<std::string> out;
  for (char c = ' '; c <= '~'; ++c) out.emplace_back(1, c);
  return out;
}();
// In code page 1252, outside ASCII.
const std::vector<std::string> kWestern = {"\xC3\xA9", "\xC3\xA8", "\xC3\xA0", "\xC3\xBC", "\xC3\xB6",
                                           "\xC3\x84", "\xC3\x9F", "\xC3\xA7", "\xC3\xB1", "\xE2\x82\xAC",
                                           "\xC5\x93", "\xC5\xA0", "\xC2\xA3", "\xC2\xB5"};
// The characters whose Jet 2.0 text keys the writer knows (jet2KeyCharacterKnown).
const std::vector<std::string> kJet2Key = [] {
  std::vector<std::string> out;
  for (char c : std::string(" #&'()/<>_0123456789")) out.emplace_back(1, c);
  for (char c = 'A'; c <= 'Z'; ++c) out.emplace_back(1, c);
  for (char c = 'a'; c <= 'z'; ++c) out.emplace_back(1, c);
  return out;
}();
// Outside code page 1252: Greek, Cyrillic, Hebrew, CJK, and a character outside the BMP.
const std::vector<std::string> kWide = {"\xCE\xB1", "\xCE\xA9", "\xD0\xB6", "\xD0\x98", "\xD7\xA9",
                                        "\xE6\xBC\xA2", "\xE5\xAD\x97", "\xE3\x81\x82", "\xF0\x9F\x98\x80"};

struct ColumnPlan {
  ColumnType type;
  int chars = 0;        // text: most characters; binary: most bytes
  bool indexed = false;
  bool distinct = false;  // values never repeat and are never null (unique keys)
  bool autoNumber = false;
  int nullPercent = 0;
  std::uint8_t precision = 0, scale = 0;  // decimal
  bool full = false;  // text and binary values mostly take the whole length
};

bool indexable(ColumnType t) { return t != ColumnType::Memo && t != ColumnType::OLE; }

// Jet 2.0 keys exist only for these types (the writer refuses the others).
bool jet2Indexable(ColumnType t) {
  return t == ColumnType::Boolean || t == ColumnType::Byte || t == ColumnType::Integer ||
         t == ColumnType::Long || t == ColumnType::Binary || t == ColumnType::Text;
}

// Bytes a column adds to a Jet 2.0 index key, at most (binary keys take a
// length byte per 8-byte group).
int jet2KeyCost(const ColumnPlan& c) {
  switch (c.type) {
    case ColumnType::Text: return c.chars + 2;
    case ColumnType::Binary: return (c.chars + 7) / 8 * 9 + 1;
    default: return 6;
  }
}

// Row bytes a column may take: Jet 4 stores text as UTF-16 (compressed when
// it can be), Jet 3 one byte a character.
int rowCost(const ColumnPlan& c, int bytesPerChar) {
  switch (c.type) {
    case ColumnType::Text: return bytesPerChar * c.chars + 2;
    case ColumnType::Binary: return c.chars + 2;
    case ColumnType::Memo:
    case ColumnType::OLE: return 16;
    case ColumnType::Decimal: return 17;
    case ColumnType::Guid: return 16;
    default: return 8;
  }
}

class Generator {
 public:
  Generator(std::uint32_t seed, int oldest) : draw_(seed), oldest_(oldest) {}

  GeneratedTable table(int number) {
    GeneratedTable t;
    longBudget_ = kLongBudget;
    t.def.name = tableName(number);
    const bool autoId = draw_.chance(60);
    std::vector<ColumnPlan> plans;
    if (autoId) plans.push_back(ColumnPlan{ColumnType::Long, 0, true, true, true, 0});
    // Most rows stay well inside a page; wide tables come near the row limits
    // (Jet 3 2012 bytes, Jet 4 4060), more columns of longer text.
    const bool wide = draw_.chance(25);
    const int columns = wide ? draw_.between(10, 40) : draw_.between(1, 14);
    int budget4 = wide ? 3900 : 1700, budget3 = !wide ? 1700 : oldest_ <= 3 ? 1900 : 100000;
    // Jet 2.0 rows with variable columns stay within 256 bytes: rowCost
    // counts each variable column one byte over (its offset byte), and the
    // row's own header, counts and null mask take at most 12 more.
    int budget2 = oldest_ <= 2 ? (autoId ? 236 : 244) : 100000;
    for (int i = 0; i < columns; ++i) {
      ColumnPlan p = column();
      if (wide && p.type == ColumnType::Text) p.chars = oldest_ <= 2 ? draw_.between(20, 60) : 255;
      p.full = wide;
      if (rowCost(p, 2) > budget4 || rowCost(p, 1) > budget3 || rowCost(p, 1) > budget2) continue;
      budget4 -= rowCost(p, 2);
      budget3 -= rowCost(p, 1);
      budget2 -= rowCost(p, 1);
      plans.push_back(p);
    }
    if (oldest_ >= 3 && draw_.chance(20)) {
      plans.push_back(ColumnPlan{ColumnType::Guid, 0, false, false, true, 0});
    }
    // Jet 2.0 index trees have two levels and a key's rows fit one list page.
    const std::size_t rowCount = !draw_.chance(15) ? draw_.between(0, 60)
                                 : oldest_ <= 2    ? draw_.between(100, 300)
                                                   : draw_.between(300, 1500);
    chooseIndexes(t.def, plans, autoId);
    std::set<std::string> names;
    for (std::size_t i = 0; i < plans.size(); ++i) {
      t.def.columns.push_back(columnDef(plans[i], i, names));
    }
    t.def.nextAutoNumber = static_cast<std::uint32_t>(rowCount);
    for (std::size_t r = 0; r < rowCount; ++r) {
      jet::Row row;
      for (const ColumnPlan& p : plans) row.push_back(value(p, r));
      t.rows.push_back(std::move(row));
    }
    return t;
  }

 private:
  std::string tableName(int number) {
    static const std::vector<std::string> words = {"Orders", "Stock", "People", "Notes", "Log",
                                                   "Parts", "Rates", "Tasks"};
    std::string name = draw_.pick(words) + (draw_.chance(30) ? " " : "") + std::to_string(number);
    if (oldest_ >= 4 && draw_.chance(20)) name += " \xC3\xA9t\xC3\xA9";
    return name;
  }

  ColumnPlan column() {
    std::vector<ColumnType> types = {ColumnType::Boolean, ColumnType::Byte,   ColumnType::Integer,
                                     ColumnType::Long,    ColumnType::Currency, ColumnType::Single,
                                     ColumnType::Double,  ColumnType::DateTime, ColumnType::Binary,
                                     ColumnType::Text,    ColumnType::Text,   ColumnType::OLE,
                                     ColumnType::Memo,    ColumnType::Memo};
    if (oldest_ >= 3) types.push_back(ColumnType::Guid);
    if (oldest_ >= 4) types.push_back(ColumnType::Decimal);
    ColumnPlan p;
    p.type = draw_.pick(types);
    // Jet 2.0: short enough for its 256-byte rows and 255-byte keys.
    const int longest = oldest_ <= 2 ? 64 : 255;
    if (p.type == ColumnType::Text) {
      p.chars = draw_.chance(30) ? longest : draw_.between(1, oldest_ <= 2 ? 30 : 80);
    }
    if (p.type == ColumnType::Binary) {
      p.chars = draw_.chance(30) ? longest : draw_.between(1, oldest_ <= 2 ? 24 : 64);
    }
    if (p.type != ColumnType::Boolean) p.nullPercent = draw_.pick(std::vector<int>{0, 10, 30, 90});
    if (p.type == ColumnType::Decimal) {
      p.precision = static_cast<std::uint8_t>(draw_.between(1, 28));
      p.scale = static_cast<std::uint8_t>(draw_.between(0, p.precision));
    }
    return p;
  }

  jet::Column columnDef(const ColumnPlan& p, std::size_t i, std::set<std::string>& names) {
    jet::Column c;
    static const std::vector<std::string> words = {"Name", "Amount", "When", "Code", "Flag",
                                                   "Memo", "Data", "Key", "Total", "Note"};
    do {
      c.name = draw_.pick(words) + (draw_.chance(30) ? " " : "_") + std::to_string(i);
      // Names outside ASCII: code page 1252 ones from Jet 3 on, others in Jet 4
      // (Jet 2.0 indexes names in MSysColumns, with keys for few characters).
      if (oldest_ >= 3 && draw_.chance(15)) c.name += " \xC3\xA0 \xE2\x82\xAC";
      if (oldest_ >= 4 && draw_.chance(10)) c.name += " \xCE\xA9\xE6\xBC\xA2";
    } while (!names.insert(c.name).second);
    c.type = p.type;
    c.number = static_cast<std::uint16_t>(i);
    if (p.type == ColumnType::Text) c.length = static_cast<std::uint16_t>(p.chars);
    if (p.type == ColumnType::Binary) c.length = static_cast<std::uint16_t>(p.chars);
    if (p.type == ColumnType::Text || p.type == ColumnType::Memo) c.extraFlags = 0x01;
    // Every column takes nulls (as the Jet 3/4 writer marks them all); Jet 2.0
    // stores the flag as MSysColumns.FDisallowNull.
    c.flags = jet::kColumnNullable;
    if (p.autoNumber) {
      c.flags |= p.type == ColumnType::Guid ? jet::kColumnAutoGuid : jet::kColumnAutoLong;
    }
    if (oldest_ >= 3 && p.type == ColumnType::Memo && draw_.chance(10)) {
      c.flags |= jet::kColumnHyperlink;
    }
    c.precision = p.precision;
    c.scale = p.scale;
    return c;
  }

  void chooseIndexes(jet::TableDef& def, std::vector<ColumnPlan>& plans, bool autoId) {
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < plans.size(); ++i) {
      if (!indexable(plans[i].type) || plans[i].autoNumber) continue;
      const bool jet2Fits = jet2Indexable(plans[i].type) && jet2KeyCost(plans[i]) <= kJet2KeyBudget;
      if (oldest_ <= 2 && !jet2Fits) continue;
      candidates.push_back(i);
    }
    if (autoId) {
      def.physicalIndexes.push_back(physical({0}, {true}, jet::kIndexUnique | jet::kIndexRequired));
      def.indexes.push_back(logical("PrimaryKey", def.indexes.size(), 0, 1));
    }
    if (candidates.empty()) return;
    const int count = draw_.between(0, 5);
    for (int k = 0; k < count; ++k) {
      const int width = std::min<int>(draw_.between(1, 3), static_cast<int>(candidates.size()));
      std::vector<std::size_t> cols;
      std::vector<bool> ascending;
      // Jet 2.0: keys short enough that 300 rows need no third tree level.
      int keyRoom = oldest_ <= 2 ? kJet2KeyBudget : 1 << 30;
      for (int tries = 0; static_cast<int>(cols.size()) < width && tries < 50; ++tries) {
        const std::size_t c = draw_.pick(candidates);
        if (std::find(cols.begin(), cols.end(), c) != cols.end()) continue;
        const int cost = oldest_ <= 2 ? jet2KeyCost(plans[c]) : 0;
        if (cost > keyRoom) continue;
        keyRoom -= cost;
        cols.push_back(c);
        ascending.push_back(!draw_.chance(35));
      }
      std::uint8_t flags = 0;
      const ColumnPlan& first = plans[cols[0]];
      const bool canBeDistinct = first.type != ColumnType::Boolean && first.type != ColumnType::Byte &&
                                 (first.type != ColumnType::Text || first.chars >= 12) &&
                                 (first.type != ColumnType::Binary || first.chars >= 4) &&
                                 (first.type != ColumnType::Decimal || first.precision >= 6);
      if (canBeDistinct && draw_.chance(40)) {
        plans[cols[0]].distinct = true;
        plans[cols[0]].nullPercent = 0;
        flags |= jet::kIndexUnique;
        if (cols.size() == 1 && draw_.chance(50)) flags |= jet::kIndexRequired;
      }
      if (draw_.chance(25)) flags |= jet::kIndexIgnoreNulls;
      for (std::size_t c : cols) plans[c].indexed = true;
      def.physicalIndexes.push_back(physical(cols, ascending, flags));
      const bool primary = !autoId && (flags & jet::kIndexRequired) != 0 && !hasPrimary(def);
      def.indexes.push_back(logical(primary ? "PrimaryKey" : "Index " + std::to_string(k),
                                    def.indexes.size(), def.physicalIndexes.size() - 1,
                                    primary ? 1 : 0));
    }
  }

  static bool hasPrimary(const jet::TableDef& def) {
    return std::any_of(def.indexes.begin(), def.indexes.end(), [](const jet::Index& i) { return i.primary(); });
  }

  static jet::PhysicalIndex physical(const std::vector<std::size_t>& cols, const std::vector<bool>& ascending,
                                     std::uint8_t flags) {
    jet::PhysicalIndex p;
    for (std::size_t i = 0; i < cols.size(); ++i) {
      p.columns.push_back(jet::IndexColumn{static_cast<std::uint16_t>(cols[i]), ascending[i]});
    }
    p.flags = flags;
    return p;
  }

  static jet::Index logical(const std::string& name, std::size_t number, std::size_t physicalIndex,
                            std::uint8_t kind) {
    jet::Index i;
    i.name = name;
    i.number = static_cast<std::uint32_t>(number);
    i.physicalIndex = static_cast<std::uint32_t>(physicalIndex);
    i.kind = kind;
    return i;
  }

  // Text of `chars` characters at most, from the characters the column may hold.
  std::string text(const ColumnPlan& p, std::size_t most) {
    // Jet 2.0 reads an empty text as null, so its writer refuses one.
    const std::size_t n = draw_.chance(10) ? (oldest_ <= 2 ? 1 : 0)
                          : p.full && draw_.chance(70) ? most
                                                       : draw_.between(1, static_cast<int>(most));
    std::string out;
    // Lengths count UTF-16 units: a character outside the BMP takes two.
    for (std::size_t units = 0; units < n;) {
      const std::string c = character(p.indexed);
      const std::size_t cost = c.size() == 4 ? 2 : 1;
      if (units + cost > n) continue;
      out += c;
      units += cost;
    }
    return out;
  }

  std::string character(bool indexed) {
    const int roll = draw_.between(0, 99);
    if (oldest_ <= 2 && indexed) return draw_.pick(kJet2Key);
    // Jet 3 keys of accented letters cannot be written yet, so indexed Jet 3 text stays ASCII.
    if (oldest_ <= 3 && indexed) return draw_.pick(kAscii);
    if (roll < 75) return draw_.pick(kAscii);
    if (roll < 90 || oldest_ <= 3) return draw_.pick(kWestern);
    return draw_.pick(kWide);
  }

  // A long value's length: empty, small, about a page, or a chain of pages;
  // small ones only once a table's share of long-value bytes is spent.
  std::size_t longLength() {
    std::size_t n = 0;
    switch (draw_.below(5)) {
      case 0: n = draw_.between(0, 2); break;
      case 1: n = draw_.between(3, 60); break;
      case 2: n = draw_.between(200, 1000); break;
      case 3: n = draw_.between(1500, 4000); break;
      default: n = draw_.between(5000, 40000); break;
    }
    if (n > 60 && n > longBudget_) n = draw_.between(0, 60);
    longBudget_ -= std::min(n, longBudget_);
    return oldest_ <= 2 ? std::max<std::size_t>(n, 1) : n;  // no empty values in Jet 2.0
  }

  Value value(const ColumnPlan& p, std::size_t row) {
    if (p.autoNumber && p.type == ColumnType::Long) return Value{static_cast<std::int32_t>(row + 1)};
    if (p.nullPercent > 0 && draw_.chance(p.nullPercent)) return Value{};
    const std::uint32_t r = static_cast<std::uint32_t>(row);
    switch (p.type) {
      case ColumnType::Boolean: return Value{draw_.chance(50)};
      case ColumnType::Byte: return Value{static_cast<std::uint8_t>(draw_.bits())};
      case ColumnType::Integer:
        return Value{static_cast<std::int16_t>(p.distinct ? (r * 7919u + 12345u) & 0xFFFFu : draw_.bits())};
      case ColumnType::Long:
        return Value{static_cast<std::int32_t>(p.distinct ? r * 2654435761u : interesting32())};
      case ColumnType::Currency:
        return Value{jet::Currency{p.distinct ? static_cast<std::int64_t>(r) * 12345 - 5000000
                                              : static_cast<std::int64_t>(draw_.bits64())}};
      case ColumnType::Single: {
        if (p.distinct) return Value{static_cast<float>(r) * (r % 2 ? -1.5f : 1.5f)};
        return Value{static_cast<float>(finiteDouble())};
      }
      case ColumnType::Double:
        return Value{p.distinct ? static_cast<double>(r) * (r % 2 ? -0.25 : 0.25) : finiteDouble()};
      case ColumnType::DateTime:
        return Value{jet::DateTime{p.distinct ? 36000.0 + r + 0.5 / (1 + r % 7)
                                              : std::round((draw_.between(-600000, 2900000) +
                                                            draw_.below(86400) / 86400.0) * 1e9) / 1e9}};
      case ColumnType::Binary: {
        jet::Bytes b;
        if (p.distinct) {
          for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(r >> s));
        }
        const std::size_t n =
            p.full && draw_.chance(70) ? p.chars : draw_.between(oldest_ <= 2, p.chars);
        while (b.size() < n) b.push_back(static_cast<std::uint8_t>(draw_.bits()));
        if (b.size() > static_cast<std::size_t>(p.chars)) b.resize(p.chars);
        return Value{b};
      }
      case ColumnType::Text: {
        if (p.distinct) {
          std::string s = "k" + std::to_string(row) + (oldest_ <= 2 ? "_" : "-");
          while (s.size() < std::min<std::size_t>(p.chars, 12 + draw_.below(20))) s += static_cast<char>('a' + draw_.below(26));
          return Value{s};
        }
        return Value{text(p, p.chars)};
      }
      case ColumnType::Memo: {
        const std::size_t n = longLength();
        std::string s;
        const bool plain = draw_.chance(50);
        for (std::size_t i = 0; i < n; ++i) s += plain ? draw_.pick(kAscii) : character(false);
        return Value{s};
      }
      case ColumnType::OLE: {
        jet::Bytes b(longLength());
        for (auto& x : b) x = static_cast<std::uint8_t>(draw_.bits());
        return Value{b};
      }
      case ColumnType::Guid: {
        jet::Guid g;
        for (auto& x : g.bytes) x = static_cast<std::uint8_t>(draw_.bits());
        if (p.distinct) std::memcpy(g.bytes.data(), &r, 4);
        return Value{g};
      }
      case ColumnType::Decimal: return decimal(p, row);
    }
    return Value{};
  }

  std::int32_t interesting32() {
    static const std::vector<std::int32_t> edges = {0, 1, -1, 2147483647, -2147483647 - 1, 255, 256};
    return draw_.chance(15) ? draw_.pick(edges) : static_cast<std::int32_t>(draw_.bits());
  }

  double finiteDouble() {
    switch (draw_.below(4)) {
      case 0: return 0.0;
      case 1: return static_cast<double>(static_cast<std::int32_t>(draw_.bits())) / 1000.0;
      case 2: return std::ldexp(static_cast<double>(draw_.bits()) - 2147483648.0, draw_.between(-60, 60));
      default: return -static_cast<double>(draw_.below(100000)) / 7.0;
    }
  }

  Value decimal(const ColumnPlan& p, std::size_t row) {
    unsigned __int128 limit = 1;
    for (int i = 0; i < p.precision; ++i) limit *= 10;
    const unsigned __int128 raw = (static_cast<unsigned __int128>(draw_.bits64()) << 64) | draw_.bits64();
    const unsigned __int128 m = p.distinct ? static_cast<unsigned __int128>(row) : raw % limit;
    jet::Decimal d;
    d.negative = m != 0 && !p.distinct && draw_.chance(40);
    d.high = static_cast<std::uint64_t>(m >> 64);
    d.low = static_cast<std::uint64_t>(m);
    d.scale = p.scale;
    return Value{d};
  }

 private:
  static constexpr std::size_t kLongBudget = 400000;  // long-value bytes per table, to stay fast
  static constexpr int kJet2KeyBudget = 80;           // bytes of a Jet 2.0 index key
  Draw draw_;
  int oldest_;
  std::size_t longBudget_ = kLongBudget;
};

std::vector<int> sourceVersions() {
  std::vector<int> out;
  for (const VersionPath& p : versionPaths()) {
    if (std::find(out.begin(), out.end(), p.from) == out.end()) out.push_back(p.from);
  }
  return out;
}

std::string versionText(int v) { return std::to_string(v) + ".0"; }

// Rows read back from a database, table by table, beside what was written.
std::vector<std::string> compareWithWritten(const GeneratedDatabase& db, const std::string& path) {
  std::vector<std::string> problems;
  const auto read = jet::Database::open(path);
  for (const GeneratedTable& t : db.tables) {
    const jet::TableDef def = read->tableDef(t.def.name);
    auto rows = read->rows(def);
    jet::Row row;
    std::size_t n = 0;
    while (rows->next(row)) {
      if (n >= t.rows.size()) {
        problems.push_back("table '" + t.def.name + "' has more rows than were written");
        break;
      }
      for (std::size_t c = 0; c < row.size() && c < t.rows[n].size(); ++c) {
        if (row[c] == t.rows[n][c]) continue;
        problems.push_back("table '" + t.def.name + "' row " + std::to_string(n + 1) + " column '" +
                           def.columns[c].name + "' reads " +
                           (jet::isNull(row[c]) ? "null" : "'" + jet::valueText(row[c]).substr(0, 60) + "'") +
                           ", written " +
                           (jet::isNull(t.rows[n][c]) ? "null" : "'" + jet::valueText(t.rows[n][c]).substr(0, 60) + "'"));
        return problems;
      }
      ++n;
    }
    if (n < t.rows.size()) {
      problems.push_back("table '" + t.def.name + "' has " + std::to_string(n) + " rows, " +
                         std::to_string(t.rows.size()) + " were written");
    }
  }
  const auto relationships = read->relationships();
  if (relationships.size() != db.relationships.size()) {
    problems.push_back(std::to_string(relationships.size()) + " relationships read, " +
                       std::to_string(db.relationships.size()) + " written");
  }
  return problems;
}

}  // namespace

const std::vector<VersionPath>& versionPaths() {
  static const std::vector<VersionPath> paths = {
      {4, jet::kCompactJet40, 4},
      {4, jet::kCompactJet30, 3},
      {3, jet::kCompactJet40, 4},
      {3, jet::kCompactJet30, 3},
      {4, jet::kCompactJet20, 2},
      {3, jet::kCompactJet20, 2},
      {2, jet::kCompactJet20, 2},
      {2, jet::kCompactJet30, 3},
      {2, jet::kCompactJet40, 4},
  };
  return paths;
}

std::string pathName(const VersionPath& p) { return versionText(p.from) + " -> " + versionText(p.to); }

GeneratedDatabase generate(std::uint32_t seed) {
  GeneratedDatabase db;
  db.seed = seed;
  Draw choose(seed ^ 0x5EEDu);
  const std::vector<int> sources = sourceVersions();
  db.writtenAt = sources[seed % sources.size()];
  // Half the databases fit the oldest version reachable from their source,
  // the others one of the versions between it and the source's own.
  std::vector<int> older;
  for (const VersionPath& p : versionPaths()) {
    if (p.from == db.writtenAt && p.to < db.writtenAt &&
        std::find(older.begin(), older.end(), p.to) == older.end()) {
      older.push_back(p.to);
    }
  }
  std::sort(older.begin(), older.end());
  db.oldestTarget = db.writtenAt;
  if (!older.empty()) {
    if (choose.chance(50)) {
      db.oldestTarget = older.front();
    } else {
      const std::uint32_t k = choose.below(static_cast<std::uint32_t>(older.size()));
      db.oldestTarget = k == 0 ? db.writtenAt : older[k];
    }
  }
  Generator g(seed, db.oldestTarget);
  const int tables = choose.between(1, 4);
  for (int t = 0; t < tables; ++t) db.tables.push_back(g.table(t + 1));
  // Relationships: a column of one table to a one-column primary key of the
  // same type in another.
  for (const GeneratedTable& one : db.tables) {
    const jet::Index* pk = nullptr;
    for (const auto& x : one.def.indexes) pk = x.primary() ? &x : pk;
    if (pk == nullptr || one.def.physicalIndexes[pk->physicalIndex].columns.size() != 1) continue;
    const jet::Column& key = one.def.columns[one.def.physicalIndexes[pk->physicalIndex].columns[0].columnNumber];
    for (const GeneratedTable& many : db.tables) {
      if (&many == &one || !choose.chance(50)) continue;
      for (const jet::Column& c : many.def.columns) {
        if (c.type != key.type || c.autoNumber()) continue;
        jet::Relationship r;
        r.name = one.def.name + many.def.name;
        // Jet 2.0 keeps only relationships it does not enforce (flag 2).
        r.flags = db.oldestTarget <= 2
                      ? 2
                      : choose.pick(std::vector<std::int32_t>{0, 2, 0x100, 0x1000, 0x1100});
        r.table = many.def.name;
        r.referencedTable = one.def.name;
        r.columns = {c.name};
        r.referencedColumns = {key.name};
        db.relationships.push_back(r);
        break;
      }
    }
  }
  return db;
}

void write(const GeneratedDatabase& db, const std::string& path) {
  jet::WriterOptions options;
  options.generation = db.writtenAt;
  jet::DatabaseWriter writer(path, options);
  for (const GeneratedTable& t : db.tables) {
    jet::TableDef def = t.def;
    if (db.writtenAt >= 4) {
      for (auto& c : def.columns) {
        if (c.type == ColumnType::Text) c.length = static_cast<std::uint16_t>(2 * c.length);
      }
    }
    struct Cursor : jet::RowCursor {
      const std::vector<jet::Row>& rows;
      std::size_t at = 0;
      explicit Cursor(const std::vector<jet::Row>& r) : rows(r) {}
      bool next(jet::Row& row) override {
        if (at >= rows.size()) return false;
        row = rows[at++];
        return true;
      }
    } cursor(t.rows);
    writer.addTable(def, cursor);
  }
  for (const jet::Relationship& r : db.relationships) writer.addRelationship(r);
  writer.finish();
}

std::string describe(const GeneratedDatabase& db) {
  std::string out = "seed " + std::to_string(db.seed) + ": written at " + versionText(db.writtenAt) +
                    ", fits " + versionText(db.oldestTarget) + "\n";
  for (const GeneratedTable& t : db.tables) {
    out += "table '" + t.def.name + "', " + std::to_string(t.rows.size()) + " rows:";
    for (const jet::Column& c : t.def.columns) {
      out += " [" + c.name + " " + jet::columnTypeName(c.type);
      if (c.length) out += "(" + std::to_string(c.length) + ")";
      if (c.type == ColumnType::Decimal) out += "(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
      if (c.autoNumber()) out += " auto";
      out += "]";
    }
    out += "\n";
    for (std::size_t i = 0; i < t.def.indexes.size(); ++i) {
      const jet::Index& x = t.def.indexes[i];
      const jet::PhysicalIndex& p = t.def.physicalIndexes[x.physicalIndex];
      out += "  index " + std::to_string(i) + " '" + x.name + "' flags " + std::to_string(p.flags) + ":";
      for (const auto& c : p.columns) out += " " + t.def.columns[c.columnNumber].name + (c.ascending ? "" : " desc");
      out += "\n";
    }
  }
  return out;
}

SeedResult checkSeed(std::uint32_t seed, const std::string& folder, bool keep) {
  SeedResult result;
  result.seed = seed;
  const GeneratedDatabase db = generate(seed);
  result.writtenAt = db.writtenAt;
  result.oldestTarget = db.oldestTarget;
  result.tables = db.tables.size();
  result.relationships = db.relationships.size();
  for (const auto& t : db.tables) {
    result.rows += t.rows.size();
    result.indexes += t.def.indexes.size();
  }
  namespace fs = std::filesystem;
  const std::string src = folder + "/seed-" + std::to_string(seed) + ".mdb";
  fs::remove(src);
  try {
    write(db, src);
    result.sourceProblems = compareWithWritten(db, src);
    {
      const jet::CheckReport r = jet::checkDatabase(src);
      for (const auto& p : r.problems) result.sourceProblems.push_back("check: " + p);
    }
  } catch (const std::exception& e) {
    result.sourceProblems.push_back(std::string("writing the source: ") + e.what());
  }
  if (!result.sourceProblems.empty()) {
    if (!keep) fs::remove(src);
    return result;
  }
  for (const VersionPath& p : versionPaths()) {
    if (p.from != db.writtenAt) continue;
    PathResult pr{p, {}};
    const std::string dst = folder + "/seed-" + std::to_string(seed) + "-to-" + std::to_string(p.to) + ".mdb";
    fs::remove(dst);
    if (p.to < db.oldestTarget) {
      // Content the target may not hold: refused naming the destination (not
      // a temporary file) and leaving nothing, or, when the draw happened to
      // fit, kept whole like any other.
      try {
        jet::compactDatabase(src, dst, p.code);
      } catch (const jet::Error& e) {
        if (fs::exists(dst)) pr.problems.push_back("a refused compaction left its destination");
        const std::string why = e.what();
        if (why.find("'" + dst) == std::string::npos || why.find(".tmp") != std::string::npos) {
          pr.problems.push_back("the refusal does not name the destination: " + why);
        }
        ++result.refused;
        if (!pr.problems.empty()) result.paths.push_back(std::move(pr));
        continue;
      }
      fs::remove(dst);
    }
    try {
      jet::compactDatabase(src, dst, p.code);
      const auto read = jet::Database::open(dst);
      if (read->versionText() != versionText(p.to)) {
        pr.problems.push_back("the result is version " + read->versionText());
      }
      for (const auto& d : engine::databaseDifferences(src, dst)) pr.problems.push_back("verify: " + d);
      const jet::CheckReport r = jet::checkDatabase(dst);
      for (const auto& q : r.problems) pr.problems.push_back("check: " + q);
    } catch (const std::exception& e) {
      pr.problems.push_back(e.what());
    }
    if (!keep) fs::remove(dst);
    result.paths.push_back(std::move(pr));
  }
  if (!keep) fs::remove(src);
  return result;
}

}  // namespace random_db
