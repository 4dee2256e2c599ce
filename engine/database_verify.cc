#include "engine/database_verify.h"

#include <algorithm>
#include <functional>
#include <map>

#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/text.h"
#include "jet/value_text.h"

namespace engine {
namespace {

// Collects differences up to a limit; every comparison stops early once full.
class Differences {
 public:
  explicit Differences(std::size_t limit) : limit_(limit) {}
  bool full() const { return items_.size() >= limit_; }
  void add(std::string text) {
    if (!full()) items_.push_back(std::move(text));
  }
  std::vector<std::string> take() { return std::move(items_); }

 private:
  std::size_t limit_;
  std::vector<std::string> items_;
};

std::string quoted(const std::string& name) { return "'" + name + "'"; }

std::string shownValue(const jet::Value& v) {
  if (jet::isNull(v)) return "null";
  std::string text = jet::valueText(v);
  if (text.size() > 40) text = text.substr(0, 37) + "...";
  return quoted(text);
}

// Looks an item up by name, ignoring case, as Jet does.
template <typename T>
const T* findNamed(const std::vector<T>& items, const std::string& name,
                   const std::function<const std::string&(const T&)>& nameOf) {
  for (const auto& item : items) {
    if (jet::equalsIgnoreCase(nameOf(item), name)) return &item;
  }
  return nullptr;
}

// Text lengths in characters: Jet 4 stores UTF-16 byte counts.
unsigned textCharacters(const jet::Column& c, jet::JetVersion version) {
  return version == jet::JetVersion::Jet4 ? c.length / 2u : c.length;
}

// Flags that mean something to users. Fixed or variable storage is left
// out: Access 97 keeps some numbers of its system tables in the variable part
// (MSysModules2 of jet3-jackcess-test-access97.mdb), and the Jet 4 writer
// stores every text and binary column as variable; the values are compared anyway.
std::uint8_t meaningfulFlags(const jet::Column& c) {
  return c.flags & (jet::kColumnNullable | jet::kColumnAutoLong | jet::kColumnAutoGuid |
                    jet::kColumnHyperlink);
}

struct Side {
  const jet::Database& db;
  jet::JetVersion version() const { return db.version(); }
};

class Comparison {
 public:
  Comparison(const jet::Database& a, const jet::Database& b, Differences& out)
      : a_{a}, b_{b}, out_(out) {}

  void run() {
    compareTables();
    if (!out_.full()) compareQueries();
    if (!out_.full()) compareRelationships();
    if (!out_.full()) compareOtherObjects();
    if (!out_.full())
      compareProperties("the database", a_.db.databaseProperties(), b_.db.databaseProperties());
  }

 private:
  static std::vector<jet::CatalogEntry> comparedTables(const jet::Database& db) {
    std::vector<jet::CatalogEntry> out;
    for (const auto& e : db.tables()) {
      // The catalog tables the writer builds itself: their rows differ by design
      // between versions, and what they describe is compared object by object.
      if (e.isLocalTable() && jet::isRebuiltCatalogTable(e.name)) continue;
      out.push_back(e);
    }
    return out;
  }

  void compareTables() {
    const auto ta = comparedTables(a_.db);
    const auto tb = comparedTables(b_.db);
    const std::function<const std::string&(const jet::CatalogEntry&)> nameOf =
        [](const jet::CatalogEntry& e) -> const std::string& { return e.name; };
    for (const auto& eb : tb) {
      if (findNamed(ta, eb.name, nameOf) == nullptr) {
        out_.add("table " + quoted(eb.name) + " is only in the second database");
      }
    }
    for (const auto& ea : ta) {
      if (out_.full()) return;
      const jet::CatalogEntry* eb = findNamed(tb, ea.name, nameOf);
      if (eb == nullptr) {
        out_.add("table " + quoted(ea.name) + " is only in the first database");
        continue;
      }
      compareTable(ea, *eb);
    }
  }

  void compareTable(const jet::CatalogEntry& ea, const jet::CatalogEntry& eb) {
    const std::string what = "table " + quoted(ea.name);
    if (ea.attributes() != eb.attributes()) {
      out_.add(what + " has attributes " + std::to_string(ea.attributes()) + " against " +
               std::to_string(eb.attributes()));
    }
    if (ea.isLocalTable() != eb.isLocalTable()) {
      out_.add(what + " is local in one database and linked in the other");
      return;
    }
    if (!ea.isLocalTable()) {
      if (ea.database != eb.database || ea.connect != eb.connect ||
          ea.foreignName != eb.foreignName) {
        out_.add(what + " links to " + quoted(ea.connect + ea.database + ":" + ea.foreignName) +
                 " against " + quoted(eb.connect + eb.database + ":" + eb.foreignName));
      }
    } else {
      const jet::TableDef da = a_.db.tableDef(ea);
      const jet::TableDef db = b_.db.tableDef(eb);
      if (!compareColumns(da, db)) return;  // rows cannot be matched column by column
      compareIndexes(da, db);
      compareRows(da, db);
    }
    if (!out_.full()) {
      compareProperties(what, a_.db.properties(ea), b_.db.properties(eb));
    }
  }

  bool compareColumns(const jet::TableDef& a, const jet::TableDef& b) {
    const std::string what = "table " + quoted(a.name);
    if (a.columns.size() != b.columns.size()) {
      out_.add(what + " has " + std::to_string(a.columns.size()) + " columns against " +
               std::to_string(b.columns.size()));
      return false;
    }
    bool sameShape = true;
    for (std::size_t i = 0; i < a.columns.size(); ++i) {
      const jet::Column& ca = a.columns[i];
      const jet::Column& cb = b.columns[i];
      const std::string col = what + " column " + std::to_string(i + 1);
      if (!jet::equalsIgnoreCase(ca.name, cb.name) || ca.type != cb.type) {
        out_.add(col + " is " + quoted(ca.name) + " (" + jet::columnTypeName(ca.type) +
                 ") against " + quoted(cb.name) + " (" + jet::columnTypeName(cb.type) + ")");
        sameShape = false;
        continue;
      }
      compareColumnDetails(col + " " + quoted(ca.name), ca, cb);
    }
    return sameShape;
  }

  void compareColumnDetails(const std::string& col, const jet::Column& ca, const jet::Column& cb) {
    if (ca.type == jet::ColumnType::Text) {
      const unsigned la = textCharacters(ca, a_.version()), lb = textCharacters(cb, b_.version());
      if (la != lb) {
        out_.add(col + " holds " + std::to_string(la) + " characters against " +
                 std::to_string(lb));
      }
    } else if (ca.type == jet::ColumnType::Binary && ca.length != cb.length) {
      out_.add(col + " holds " + std::to_string(ca.length) + " bytes against " +
               std::to_string(cb.length));
    }
    if (ca.type == jet::ColumnType::Decimal &&
        (ca.precision != cb.precision || ca.scale != cb.scale)) {
      out_.add(col + " has precision " + std::to_string(ca.precision) + "," +
               std::to_string(ca.scale) + " against " + std::to_string(cb.precision) + "," +
               std::to_string(cb.scale));
    }
    if (meaningfulFlags(ca) != meaningfulFlags(cb)) {
      out_.add(col + " has flags " + std::to_string(meaningfulFlags(ca)) + " against " +
               std::to_string(meaningfulFlags(cb)));
    }
  }

  static std::string columnName(const jet::TableDef& def, std::uint16_t number) {
    for (const auto& c : def.columns) {
      if (c.number == number) return c.name;
    }
    return "#" + std::to_string(number);
  }

  // An index as users define it: its key columns by name and its rules.
  static std::string indexText(const jet::TableDef& def, const jet::Index& x) {
    if (x.physicalIndex >= def.physicalIndexes.size()) return "(no key)";
    const jet::PhysicalIndex& p = def.physicalIndexes[x.physicalIndex];
    std::string text = "(";
    for (std::size_t k = 0; k < p.columns.size(); ++k) {
      if (k) text += ", ";
      text += columnName(def, p.columns[k].columnNumber) + (p.columns[k].ascending ? "" : " DESC");
    }
    text += ")";
    if (x.primary()) text += " primary";
    if (x.foreignKey()) text += " foreign";
    if (p.unique()) text += " unique";
    if (p.ignoreNulls()) text += " ignore-nulls";
    if (p.required()) text += " required";
    return text;
  }

  void compareIndexes(const jet::TableDef& a, const jet::TableDef& b) {
    const std::string what = "table " + quoted(a.name) + " index ";
    const std::function<const std::string&(const jet::Index&)> nameOf =
        [](const jet::Index& x) -> const std::string& { return x.name; };
    for (const auto& xb : b.indexes) {
      if (findNamed(a.indexes, xb.name, nameOf) == nullptr) {
        out_.add(what + quoted(xb.name) + " is only in the second database");
      }
    }
    for (const auto& xa : a.indexes) {
      const jet::Index* xb = findNamed(b.indexes, xa.name, nameOf);
      if (xb == nullptr) {
        out_.add(what + quoted(xa.name) + " is only in the first database");
        continue;
      }
      const std::string ta = indexText(a, xa), tb = indexText(b, *xb);
      if (ta != tb) out_.add(what + quoted(xa.name) + " is " + ta + " against " + tb);
    }
  }

  void compareRows(const jet::TableDef& a, const jet::TableDef& b) {
    const std::string what = "table " + quoted(a.name);
    auto ra = a_.db.rows(a);
    auto rb = b_.db.rows(b);
    jet::Row rowA, rowB;
    for (std::size_t n = 1; !out_.full(); ++n) {
      const bool moreA = ra->next(rowA);
      const bool moreB = rb->next(rowB);
      if (!moreA && !moreB) return;
      if (moreA != moreB) {
        out_.add(what + " ends after " + std::to_string(n - 1) + " rows in the " +
                 (moreA ? "second" : "first") + " database");
        return;
      }
      if (rowA == rowB) continue;
      for (std::size_t c = 0; c < rowA.size() && c < rowB.size(); ++c) {
        if (rowA[c] == rowB[c]) continue;
        out_.add(what + " row " + std::to_string(n) + " column " + quoted(a.columns[c].name) +
                 " is " + shownValue(rowA[c]) + " against " + shownValue(rowB[c]));
        return;  // later rows of a table that differs add little
      }
      out_.add(what + " row " + std::to_string(n) + " differs");
      return;
    }
  }

  void compareQueries() {
    const auto qa = a_.db.queries();
    const auto qb = b_.db.queries();
    const std::function<const std::string&(const jet::Query&)> nameOf =
        [](const jet::Query& q) -> const std::string& { return q.name; };
    for (const auto& q : qb) {
      if (findNamed(qa, q.name, nameOf) == nullptr) {
        out_.add("query " + quoted(q.name) + " is only in the second database");
      }
    }
    for (const auto& q : qa) {
      if (out_.full()) return;
      const jet::Query* other = findNamed(qb, q.name, nameOf);
      if (other == nullptr) {
        out_.add("query " + quoted(q.name) + " is only in the first database");
        continue;
      }
      if (q.sql() != other->sql()) {
        out_.add("query " + quoted(q.name) + " reads " + quoted(q.sql()) + " against " +
                 quoted(other->sql()));
      }
      if (q.flags != other->flags) {
        out_.add("query " + quoted(q.name) + " has flags " + std::to_string(q.flags) + " against " +
                 std::to_string(other->flags));
      }
    }
  }

  static std::string relationshipText(const jet::Relationship& r) {
    std::string text = r.table + "(";
    for (std::size_t i = 0; i < r.columns.size(); ++i) text += (i ? ", " : "") + r.columns[i];
    text += ") -> " + r.referencedTable + "(";
    for (std::size_t i = 0; i < r.referencedColumns.size(); ++i) {
      text += (i ? ", " : "") + r.referencedColumns[i];
    }
    return text + ") flags " + std::to_string(r.flags);
  }

  void compareRelationships() {
    const auto ra = a_.db.relationships();
    const auto rb = b_.db.relationships();
    const std::function<const std::string&(const jet::Relationship&)> nameOf =
        [](const jet::Relationship& r) -> const std::string& { return r.name; };
    for (const auto& r : rb) {
      if (findNamed(ra, r.name, nameOf) == nullptr) {
        out_.add("relationship " + quoted(r.name) + " is only in the second database");
      }
    }
    for (const auto& r : ra) {
      const jet::Relationship* other = findNamed(rb, r.name, nameOf);
      if (other == nullptr) {
        out_.add("relationship " + quoted(r.name) + " is only in the first database");
      } else if (relationshipText(r) != relationshipText(*other)) {
        out_.add("relationship " + quoted(r.name) + " is " + relationshipText(r) + " against " +
                 relationshipText(*other));
      }
    }
  }

  // Forms, reports, macros, modules, containers: by type and name, with their properties.
  static bool isOtherObject(const jet::CatalogEntry& e) {
    return !e.isTable() && e.type != jet::kObjectQuery && e.type != jet::kObjectRelationship &&
           e.type != jet::kObjectDatabase;
  }

  void compareOtherObjects() {
    std::vector<jet::CatalogEntry> oa, ob;
    for (const auto& e : a_.db.objects()) {
      if (isOtherObject(e)) oa.push_back(e);
    }
    for (const auto& e : b_.db.objects()) {
      if (isOtherObject(e)) ob.push_back(e);
    }
    auto find = [](const std::vector<jet::CatalogEntry>& in, const jet::CatalogEntry& e) {
      const auto it = std::find_if(in.begin(), in.end(), [&](const jet::CatalogEntry& x) {
        return x.type == e.type && jet::equalsIgnoreCase(x.name, e.name);
      });
      return it == in.end() ? nullptr : &*it;
    };
    for (const auto& e : ob) {
      if (find(oa, e) == nullptr) {
        out_.add("object " + quoted(e.name) + " (type " + std::to_string(e.type) +
                 ") is only in the second database");
      }
    }
    for (const auto& e : oa) {
      if (out_.full()) return;
      const jet::CatalogEntry* other = find(ob, e);
      if (other == nullptr) {
        out_.add("object " + quoted(e.name) + " (type " + std::to_string(e.type) +
                 ") is only in the first database");
        continue;
      }
      compareProperties("object " + quoted(e.name), a_.db.properties(e), b_.db.properties(*other));
    }
  }

  void compareProperties(const std::string& owner, const std::vector<jet::PropertyMap>& a,
                         const std::vector<jet::PropertyMap>& b) {
    const std::function<const std::string&(const jet::PropertyMap&)> mapName =
        [](const jet::PropertyMap& m) -> const std::string& { return m.name; };
    const std::function<const std::string&(const jet::Property&)> propName =
        [](const jet::Property& p) -> const std::string& { return p.name; };
    auto mapTitle = [&](const std::string& name) {
      return name.empty() ? owner : owner + " column " + quoted(name);
    };
    for (const auto& mb : b) {
      if (findNamed(a, mb.name, mapName) == nullptr && !mb.properties.empty()) {
        out_.add(mapTitle(mb.name) + " has properties only in the second database");
      }
    }
    for (const auto& ma : a) {
      const jet::PropertyMap* mb = findNamed(b, ma.name, mapName);
      static const std::vector<jet::Property> kNone;
      const std::vector<jet::Property>& pb = mb != nullptr ? mb->properties : kNone;
      for (const auto& p : pb) {
        if (findNamed(ma.properties, p.name, propName) == nullptr) {
          out_.add(mapTitle(ma.name) + " property " + quoted(p.name) +
                   " is only in the second database");
        }
      }
      for (const auto& p : ma.properties) {
        const jet::Property* q = findNamed(pb, p.name, propName);
        if (q == nullptr) {
          out_.add(mapTitle(ma.name) + " property " + quoted(p.name) +
                   " is only in the first database");
        } else if (p.value != q->value) {
          out_.add(mapTitle(ma.name) + " property " + quoted(p.name) + " is " +
                   shownValue(p.value) + " against " + shownValue(q->value));
        }
      }
    }
  }

  Side a_, b_;
  Differences& out_;
};

}  // namespace

std::vector<std::string> databaseDifferences(const std::string& pathA, const std::string& pathB,
                                             std::size_t limit) {
  const auto da = jet::Database::open(pathA);
  const auto db = jet::Database::open(pathB);
  Differences out(limit == 0 ? 1 : limit);
  Comparison(*da, *db, out).run();
  return out.take();
}

}  // namespace engine
