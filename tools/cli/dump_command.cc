#include "jet/database.h"
#include "jet/error.h"
#include "jet/value_text.h"
#include "tools/cli/commands.h"

namespace cli {

namespace {

void dumpTable(const jet::Database& db, const jet::CatalogEntry& entry, Output& out) {
  const jet::TableDef def = db.tableDef(entry);
  out.text += "{\"name\":";
  jet::appendJsonString(out.text, def.name);
  out.text += ",\"columns\":[";
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    if (i) out.text += ',';
    out.text += "{\"name\":";
    jet::appendJsonString(out.text, def.columns[i].name);
    out.text += ",\"type\":";
    jet::appendJsonString(out.text, jet::columnTypeName(def.columns[i].type));
    out.text += '}';
  }
  out.text += "],\"rows\":[";
  const auto cursor = db.rows(def);
  jet::Row row;
  bool first = true;
  while (cursor->next(row)) {
    out.text += first ? "\n[" : ",\n[";
    first = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i) out.text += ',';
      jet::appendValueJson(out.text, row[i]);
    }
    out.text += ']';
    out.maybeFlush();
  }
  out.text += "]}";
}

}  // namespace

int runDump(const Args& args) {
  if (args.empty()) return badUsage("dump needs a FILE");
  try {
    const auto db = jet::Database::open(args[0]);
    std::vector<jet::CatalogEntry> tables;
    if (args.size() == 1) {
      for (const auto& e : db->tables()) {
        if (e.isLocalTable() && e.attributes() == 0) tables.push_back(e);
      }
    } else {
      for (std::size_t i = 1; i < args.size(); ++i) tables.push_back(db->tableEntry(args[i]));
    }
    Output out(stdout);
    out.text += "{\"version\":";
    jet::appendJsonString(out.text, db->versionText());
    out.text += ",\"tables\":[";
    for (std::size_t i = 0; i < tables.size(); ++i) {
      if (i) out.text += ",\n";
      dumpTable(*db, tables[i], out);
    }
    out.text += "]}\n";
  } catch (const jet::Error& e) {
    std::fflush(stdout);
    reportError(e.what());
    return 1;
  }
  return 0;
}

}  // namespace cli
