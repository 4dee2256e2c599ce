#include "jet/database.h"

#include <algorithm>

#include "jet/error.h"
#include "jet/page_file.h"
#include "jet/text.h"

namespace jet {

std::unique_ptr<Database> Database::open(const std::string& path) {
  return open(std::make_unique<PageFile>(path));
}

std::unique_ptr<Database> Database::open(std::vector<std::uint8_t> bytes,
                                         const std::string& name) {
  return open(std::make_unique<PageFile>(std::move(bytes), name));
}

std::unique_ptr<Database> Database::open(std::unique_ptr<PageFile> file) {
  if (file->header().hasPassword) throw passwordProtected(file->path());
  std::unique_ptr<Backend> backend =
      isJet12(file->header().version) ? makeJet12Backend(*file) : makeJet34Backend(*file);
  return std::unique_ptr<Database>(new Database(std::move(file), std::move(backend)));
}

Database::Database(std::unique_ptr<PageFile> file, std::unique_ptr<Backend> backend)
    : file_(std::move(file)), backend_(std::move(backend)) {
  objects_ = backend_->readCatalog();
}

Database::~Database() = default;

const std::string& Database::path() const { return file_->path(); }
const DatabaseHeader& Database::header() const { return file_->header(); }
const std::vector<CatalogEntry>& Database::objects() const { return objects_; }

std::vector<CatalogEntry> Database::tables() const {
  std::vector<CatalogEntry> out;
  std::copy_if(objects_.begin(), objects_.end(), std::back_inserter(out),
               [](const CatalogEntry& e) { return e.isTable(); });
  return out;
}

const CatalogEntry& Database::tableEntry(const std::string& name) const {
  for (const auto& e : objects_) {
    if (e.isTable() && equalsIgnoreCase(e.name, name)) return e;
  }
  throw notFound(path(), "table '" + name + "'");
}

TableDef Database::tableDef(const std::string& name) const { return tableDef(tableEntry(name)); }

TableDef Database::tableDef(const CatalogEntry& entry) const {
  if (!entry.isLocalTable()) {
    throw unsupported(path(), "table '" + entry.name + "' is linked to another database");
  }
  return backend_->readTableDef(entry);
}

std::unique_ptr<RowCursor> Database::rows(const TableDef& table) const {
  return backend_->openRows(table);
}

}  // namespace jet
