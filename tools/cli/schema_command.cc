#include "jet/database.h"
#include "jet/error.h"
#include "jet/value_text.h"
#include "tools/cli/commands.h"

namespace cli {

namespace {

void key(std::string& out, const char* name) {
  out += '"';
  out += name;
  out += "\":";
}

std::string columnName(const jet::TableDef& def, std::uint16_t number) {
  for (const auto& c : def.columns) {
    if (c.number == number) return c.name;
  }
  return "#" + std::to_string(number);
}

void columnsJson(std::string& out, const jet::TableDef& def) {
  key(out, "columns");
  out += '[';
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    const jet::Column& c = def.columns[i];
    if (i) out += ',';
    out += '{';
    key(out, "name");
    jet::appendJsonString(out, c.name);
    out += ',';
    key(out, "type");
    jet::appendJsonString(out, jet::columnTypeName(c.type));
    out += ',';
    key(out, "size");
    out += std::to_string(c.length);
    out += ',';
    key(out, "flags");
    out += std::to_string(c.flags);
    if (c.type == jet::ColumnType::Decimal) {
      out += ',';
      key(out, "precision");
      out += std::to_string(c.precision);
      out += ',';
      key(out, "scale");
      out += std::to_string(c.scale);
    }
    out += '}';
  }
  out += ']';
}

void indexesJson(std::string& out, const jet::TableDef& def) {
  key(out, "indexes");
  out += '[';
  for (std::size_t i = 0; i < def.indexes.size(); ++i) {
    const jet::Index& x = def.indexes[i];
    const jet::PhysicalIndex& p = def.physicalIndexes[x.physicalIndex];
    if (i) out += ',';
    out += '{';
    key(out, "name");
    jet::appendJsonString(out, x.name);
    out += ',';
    key(out, "columns");
    out += '[';
    for (std::size_t k = 0; k < p.columns.size(); ++k) {
      if (k) out += ',';
      jet::appendJsonString(out, columnName(def, p.columns[k].columnNumber) +
                                     (p.columns[k].ascending ? "" : " DESC"));
    }
    out += "],";
    key(out, "unique");
    out += p.unique() ? "true," : "false,";
    key(out, "primary");
    out += x.primary() ? "true," : "false,";
    key(out, "foreignKey");
    out += x.foreignKey() ? "true," : "false,";
    key(out, "ignoreNulls");
    out += p.ignoreNulls() ? "true," : "false,";
    key(out, "required");
    out += p.required() ? "true" : "false";
    out += '}';
  }
  out += ']';
}

void stringList(std::string& out, const std::vector<std::string>& items) {
  out += '[';
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    jet::appendJsonString(out, items[i]);
  }
  out += ']';
}

void relationshipsJson(std::string& out, const jet::Database& db) {
  key(out, "relationships");
  out += '[';
  bool first = true;
  for (const auto& r : db.relationships()) {
    if (!first) out += ',';
    first = false;
    out += '{';
    key(out, "name");
    jet::appendJsonString(out, r.name);
    out += ',';
    key(out, "table");
    jet::appendJsonString(out, r.table);
    out += ',';
    key(out, "columns");
    stringList(out, r.columns);
    out += ',';
    key(out, "referencedTable");
    jet::appendJsonString(out, r.referencedTable);
    out += ',';
    key(out, "referencedColumns");
    stringList(out, r.referencedColumns);
    out += ',';
    key(out, "flags");
    out += std::to_string(r.flags);
    out += '}';
  }
  out += ']';
}

void queriesJson(std::string& out, const jet::Database& db) {
  key(out, "queries");
  out += '[';
  bool first = true;
  for (const auto& q : db.queries()) {
    if (!first) out += ',';
    first = false;
    out += '{';
    key(out, "name");
    jet::appendJsonString(out, q.name);
    out += ',';
    key(out, "sql");
    jet::appendJsonString(out, q.sql());
    out += '}';
  }
  out += ']';
}

}  // namespace

int runSchema(const Args& args) {
  if (args.size() != 1) return badUsage("schema takes one FILE");
  try {
    const auto db = jet::Database::open(args[0]);
    Output out(stdout);
    std::string& s = out.text;
    s += '{';
    key(s, "version");
    jet::appendJsonString(s, db->versionText());
    s += ',';
    key(s, "tables");
    s += '[';
    bool first = true;
    for (const auto& e : db->tables()) {
      if (!first) s += ',';
      first = false;
      s += "\n{";
      key(s, "name");
      jet::appendJsonString(s, e.name);
      s += ',';
      key(s, "attributes");
      s += std::to_string(e.attributes());
      if (e.isLocalTable()) {
        const jet::TableDef def = db->tableDef(e);
        s += ',';
        columnsJson(s, def);
        s += ',';
        indexesJson(s, def);
      }
      s += '}';
    }
    s += "],\n";
    relationshipsJson(s, *db);
    s += ",\n";
    queriesJson(s, *db);
    s += "}\n";
  } catch (const jet::Error& e) {
    reportError(e.what());
    return 1;
  }
  return 0;
}

}  // namespace cli
