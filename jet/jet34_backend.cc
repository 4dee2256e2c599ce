// Placeholder until the reader of this generation lands: the header is known,
// the catalog is not read yet.
#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_file.h"

namespace jet {
namespace {

class PendingBackend : public Backend {
 public:
  explicit PendingBackend(PageFile& file) : file_(file) {}
  std::vector<CatalogEntry> readCatalog() override { return {}; }
  TableDef readTableDef(const CatalogEntry&) override { throw pending(); }
  std::unique_ptr<RowCursor> openRows(const TableDef&) override { throw pending(); }

 private:
  Error pending() const { return unsupported(file_.path(), "tables cannot be read yet"); }
  PageFile& file_;
};

}  // namespace

std::unique_ptr<Backend> makeJet34Backend(PageFile& file) {
  return std::make_unique<PendingBackend>(file);
}

}  // namespace jet
