// Relationships, queries and properties: rows of the catalog tables
// (MSysRelationships, MSysQueries, MSysObjects.LvProp) read through the
// ordinary table path, so they work for every generation.
#include <algorithm>
#include <exception>
#include <map>
#include <unordered_map>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "jet/property_blob.h"
#include "jet/text.h"

namespace jet {

namespace {

// Column positions by name; -1 when the table lacks the column.
class Columns {
 public:
  explicit Columns(const TableDef& def) : def_(def) {}
  int operator()(const char* name) const {
    for (std::size_t i = 0; i < def_.columns.size(); ++i) {
      if (equalsIgnoreCase(def_.columns[i].name, name)) return static_cast<int>(i);
    }
    return -1;
  }

 private:
  const TableDef& def_;
};

std::string textAt(const Row& row, int i) {
  if (i < 0) return {};
  if (const auto* s = std::get_if<std::string>(&row[i])) return *s;
  return {};
}

std::int64_t integerAt(const Row& row, int i) {
  if (i < 0) return 0;
  const Value& v = row[i];
  if (const auto* x = std::get_if<std::int32_t>(&v)) return *x;
  if (const auto* x = std::get_if<std::int16_t>(&v)) return *x;
  if (const auto* x = std::get_if<std::uint8_t>(&v)) return *x;
  return 0;
}

Bytes bytesAt(const Row& row, int i) {
  if (i < 0) return {};
  if (const auto* b = std::get_if<Bytes>(&row[i])) return *b;
  return {};
}

const CatalogEntry* findTable(const Database& db, const char* name) {
  for (const auto& e : db.objects()) {
    if (e.isLocalTable() && equalsIgnoreCase(e.name, name)) return &e;
  }
  return nullptr;
}

}  // namespace

std::vector<Relationship> Database::relationships() const {
  const CatalogEntry* entry = findTable(*this, "MSysRelationships");
  if (entry == nullptr) return {};
  const TableDef def = tableDef(*entry);
  const Columns col(def);
  const int name = col("szRelationship"), grbit = col("grbit"), icolumn = col("icolumn"),
            object = col("szObject"), column = col("szColumn"),
            refObject = col("szReferencedObject"), refColumn = col("szReferencedColumn");
  // Each relationship keeps its column pairs ordered by icolumn.
  std::vector<Relationship> out;
  std::vector<std::vector<std::pair<std::int64_t, std::pair<std::string, std::string>>>> pairs;
  const auto cursor = rows(def);
  Row row;
  while (cursor->next(row)) {
    const std::string n = textAt(row, name);
    auto it = std::find_if(out.begin(), out.end(), [&](const Relationship& r) { return r.name == n; });
    if (it == out.end()) {
      Relationship r;
      r.name = n;
      r.flags = static_cast<std::int32_t>(integerAt(row, grbit));
      r.table = textAt(row, object);
      r.referencedTable = textAt(row, refObject);
      out.push_back(std::move(r));
      pairs.emplace_back();
      it = out.end() - 1;
    }
    pairs[static_cast<std::size_t>(it - out.begin())].push_back(
        {integerAt(row, icolumn), {textAt(row, column), textAt(row, refColumn)}});
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    std::stable_sort(pairs[i].begin(), pairs[i].end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& p : pairs[i]) {
      out[i].columns.push_back(p.second.first);
      out[i].referencedColumns.push_back(p.second.second);
    }
  }
  return out;
}

std::vector<Query> Database::queries() const {
  std::vector<Query> out;
  std::map<std::int32_t, std::size_t> byId;
  for (const auto& e : objects()) {
    if (e.type != kObjectQuery) continue;
    byId[e.id] = out.size();
    out.push_back(Query{e.name, e.id, e.flags, {}});
  }
  const CatalogEntry* entry = findTable(*this, "MSysQueries");
  if (entry == nullptr || out.empty()) return out;
  const TableDef def = tableDef(*entry);
  const Columns col(def);
  const int objectId = col("ObjectId"), attribute = col("Attribute"), order = col("Order"),
            name1 = col("Name1"), name2 = col("Name2"), expression = col("Expression"),
            flag = col("Flag");
  const auto cursor = rows(def);
  Row row;
  while (cursor->next(row)) {
    const auto it = byId.find(static_cast<std::int32_t>(integerAt(row, objectId)));
    if (it == byId.end()) continue;
    QueryRow q;
    q.attribute = static_cast<std::uint8_t>(integerAt(row, attribute));
    q.name1 = textAt(row, name1);
    q.name2 = textAt(row, name2);
    q.expression = textAt(row, expression);
    q.flag = static_cast<std::int16_t>(integerAt(row, flag));
    q.order = bytesAt(row, order);
    out[it->second].rows.push_back(std::move(q));
  }
  for (Query& q : out) {
    std::stable_sort(q.rows.begin(), q.rows.end(), [](const QueryRow& a, const QueryRow& b) {
      return a.attribute != b.attribute ? a.attribute < b.attribute : a.order < b.order;
    });
  }
  return out;
}

struct Database::PropertyBlobs {
  std::unordered_map<std::int64_t, Bytes> byId;  // the first row of each id
  // Where the pass stopped (a damaged row, say): ids read before it keep
  // their blobs, any other asks again for this error, as a scan of its own
  // would have met it.
  std::exception_ptr failure;
};

const Database::PropertyBlobs& Database::propertyBlobs() const {
  std::call_once(propertyBlobsRead_, [this] {
    auto blobs = std::make_shared<PropertyBlobs>();
    try {
      const CatalogEntry* catalog = findTable(*this, "MSysObjects");
      if (catalog != nullptr) {
        const TableDef def = tableDef(*catalog);
        const Columns col(def);
        const int id = col("Id"), lvProp = col("LvProp");
        if (id >= 0 && lvProp >= 0) {
          const auto cursor = rows(def);
          Row row;
          while (cursor->next(row)) blobs->byId.emplace(integerAt(row, id), bytesAt(row, lvProp));
        }
      }
    } catch (...) {
      blobs->failure = std::current_exception();
    }
    propertyBlobs_ = std::move(blobs);
  });
  return *propertyBlobs_;
}

std::vector<PropertyMap> Database::properties(const CatalogEntry& entry) const {
  const PropertyBlobs& blobs = propertyBlobs();
  const auto found = blobs.byId.find(entry.id);
  if (found == blobs.byId.end()) {
    if (blobs.failure) std::rethrow_exception(blobs.failure);
    return {};
  }
  if (found->second.empty()) return {};
  return parsePropertyBlob(found->second, hasUnicodeText(version()), header().codePage,
                           file_->where());
}

std::vector<PropertyMap> Database::databaseProperties() const {
  for (const auto& e : objects()) {
    if (e.type == kObjectDatabase && equalsIgnoreCase(e.name, "MSysDb")) return properties(e);
  }
  return {};
}

}  // namespace jet
