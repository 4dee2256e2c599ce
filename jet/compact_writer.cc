#include "jet/compact_writer.h"

#include <map>

#include "jet/text.h"

namespace jet {
namespace {

// The tables every new file gets from the writer itself.
// (Jet 1.x/2.0 also keep columns and indexes in catalog tables; Jet 4 keeps
// them in the table definitions.)
bool isJetSystemTable(const std::string& name) {
  return equalsIgnoreCase(name, "MSysObjects") || equalsIgnoreCase(name, "MSysACEs") ||
         equalsIgnoreCase(name, "MSysQueries") || equalsIgnoreCase(name, "MSysRelationships") ||
         equalsIgnoreCase(name, "MSysColumns") || equalsIgnoreCase(name, "MSysIndexes");
}

// Catalog rows the writer makes on its own.
bool isFixedObject(const CatalogEntry& e) {
  return e.id == kTablesContainerId || e.id == kDatabasesContainerId ||
         e.id == kRelationshipsContainerId || e.id == kMSysDbId;
}

}  // namespace

Column jet4Column(const Column& source, JetVersion from) {
  Column c = source;
  if (from == JetVersion::Jet4) return c;
  if (c.type == ColumnType::Text) c.length = static_cast<std::uint16_t>(std::min<int>(2 * c.length, 510));
  if (c.type == ColumnType::Text || c.type == ColumnType::Memo) c.extraFlags |= 0x01;
  c.codePage = 0;
  return c;
}

void copyDatabase(const Database& source, DatabaseWriter& target) {
  std::map<std::int32_t, std::int32_t> ids = {{kRootParentId, kRootParentId},
                                              {kTablesContainerId, kTablesContainerId},
                                              {kDatabasesContainerId, kDatabasesContainerId},
                                              {kRelationshipsContainerId, kRelationshipsContainerId},
                                              {kMSysDbId, kMSysDbId}};
  const auto parentOf = [&](const CatalogEntry& e) {
    const auto it = ids.find(e.parentId);
    return it == ids.end() ? kRootParentId : it->second;
  };
  const std::vector<CatalogEntry>& objects = source.objects();
  // Containers first, so that every other object finds its parent's new id.
  for (const CatalogEntry& e : objects) {
    if (e.type != kObjectContainer || isFixedObject(e)) continue;
    CatalogObject o;
    o.name = e.name;
    o.type = e.type;
    o.parentId = parentOf(e);
    o.flags = e.flags;
    o.properties = source.properties(e);
    ids[e.id] = target.addObject(o);
  }
  for (const CatalogEntry& e : objects) {
    if (!e.isLocalTable() || isJetSystemTable(e.name)) continue;
    const TableDef original = source.tableDef(e);
    TableDef def = original;
    // The reader hands columns out in storage order; number them so, and
    // their index columns with them.
    std::map<std::uint16_t, std::uint16_t> numbers;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
      numbers.emplace(def.columns[i].number, static_cast<std::uint16_t>(i));
      def.columns[i] = jet4Column(def.columns[i], source.version());
      def.columns[i].number = static_cast<std::uint16_t>(i);
    }
    for (PhysicalIndex& p : def.physicalIndexes) {
      for (IndexColumn& ic : p.columns) {
        const auto it = numbers.find(ic.columnNumber);
        if (it != numbers.end()) ic.columnNumber = it->second;
      }
    }
    TableObject object;
    object.flags = e.flags;
    object.properties = source.properties(e);
    const auto rows = source.rows(original);  // the reader decodes by the source's layout
    ids[e.id] = static_cast<std::int32_t>(target.addTable(def, *rows, object));
  }
  for (const CatalogEntry& e : objects) {
    if (isFixedObject(e) || e.type == kObjectContainer || e.isLocalTable() ||
        e.type == kObjectQuery || e.type == kObjectRelationship) {
      continue;
    }
    CatalogObject o;
    o.name = e.name;
    o.type = e.type;
    o.parentId = parentOf(e);
    o.flags = e.flags;
    o.database = e.database;
    o.connect = e.connect;
    o.foreignName = e.foreignName;
    o.properties = source.properties(e);
    ids[e.id] = target.addObject(o);
  }
  for (const Query& q : source.queries()) {
    std::vector<PropertyMap> properties;
    for (const CatalogEntry& e : objects) {
      if (e.id == q.id) properties = source.properties(e);
    }
    target.addQuery(q, properties);
  }
  for (const Relationship& r : source.relationships()) target.addRelationship(r);
  target.setDatabaseProperties(source.databaseProperties());
}

}  // namespace jet
