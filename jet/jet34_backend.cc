// The Jet 3 / Jet 4 half of a Database: catalog from MSysObjects, table
// definitions from TDEF pages, rows from the pages of each table's usage map.
#include "jet/catalog.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "jet/table_definition.h"
#include "jet/table_scan.h"

namespace jet {
namespace {

class Jet34Backend : public Backend {
 public:
  explicit Jet34Backend(PageFile& file) : file_(file) {}
  std::vector<CatalogEntry> readCatalog() override { return readJet34Catalog(file_); }
  TableDef readTableDef(const CatalogEntry& entry) override {
    const std::uint32_t page = entry.definitionPage();
    if (page == 0 || page >= file_.pageCount()) {
      throw damaged(file_.where(), "table '" + entry.name + "' has definition page " +
                                       std::to_string(page) + " outside the file");
    }
    return readTableDefinition(file_, page, entry.name);
  }
  std::unique_ptr<RowCursor> openRows(const TableDef& table) override {
    return std::make_unique<TableScan>(file_, table);
  }

 private:
  PageFile& file_;
};

}  // namespace

std::unique_ptr<Backend> makeJet34Backend(PageFile& file) {
  return std::make_unique<Jet34Backend>(file);
}

}  // namespace jet
