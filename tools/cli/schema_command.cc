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

void stringField(std::string& out, const char* name, const std::string& value) {
  key(out, name);
  jet::appendJsonString(out, value);
}

void numberField(std::string& out, const char* name, long long value) {
  key(out, name);
  out += std::to_string(value);
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
    stringField(out, "name", c.name);
    out += ',';
    stringField(out, "type", jet::columnTypeName(c.type));
    out += ',';
    numberField(out, "size", c.length);
    out += ',';
    numberField(out, "flags", c.flags);
    if (c.type == jet::ColumnType::Decimal) {
      out += ',';
      numberField(out, "precision", c.precision);
      out += ',';
      numberField(out, "scale", c.scale);
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
    stringField(out, "name", x.name);
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
    stringField(out, "name", r.name);
    out += ',';
    stringField(out, "table", r.table);
    out += ',';
    key(out, "columns");
    stringList(out, r.columns);
    out += ',';
    stringField(out, "referencedTable", r.referencedTable);
    out += ',';
    key(out, "referencedColumns");
    stringList(out, r.referencedColumns);
    out += ',';
    numberField(out, "flags", r.flags);
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
    stringField(out, "name", q.name);
    out += ',';
    stringField(out, "sql", q.sql());
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
    stringField(s, "version", db->versionText());
    s += ',';
    key(s, "tables");
    s += '[';
    bool first = true;
    for (const auto& e : db->tables()) {
      if (!first) s += ',';
      first = false;
      s += "\n{";
      stringField(s, "name", e.name);
      s += ',';
      numberField(s, "attributes", e.attributes());
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
