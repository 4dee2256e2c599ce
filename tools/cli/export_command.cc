#include "jet/database.h"
#include "jet/error.h"
#include "jet/value_text.h"
#include "tools/cli/commands.h"

namespace cli {

int runExport(const Args& args) {
  if (args.size() != 2) return badUsage("export needs FILE and TABLE");
  try {
    const auto db = jet::Database::open(args[0]);
    const jet::TableDef def = db->tableDef(args[1]);
    Output out(stdout);
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
      if (i) out.text += ',';
      jet::appendCsvField(out.text, def.columns[i].name);
    }
    out.text += "\r\n";
    const auto cursor = db->rows(def);
    jet::Row row;
    std::string field;
    while (cursor->next(row)) {
      for (std::size_t i = 0; i < row.size(); ++i) {
        if (i) out.text += ',';
        field.clear();
        jet::appendValueText(field, row[i]);
        jet::appendCsvField(out.text, field);
      }
      out.text += "\r\n";
      out.maybeFlush();
    }
  } catch (const jet::Error& e) {
    std::fflush(stdout);
    reportError(e.what());
    return 1;
  }
  return 0;
}

}  // namespace cli
