#include "engine/db_engine.h"

#include "jet/compactor.h"
#include "jet/database.h"
#include "jet/error.h"

namespace engine {

Database::Database(std::string name, std::unique_ptr<jet::Database> db)
    : name_(std::move(name)), db_(std::move(db)) {}

Database::~Database() = default;

const jet::Database& Database::open() const {
  if (!db_) throw EngineError(3420, "The database '" + name_ + "' is closed.");
  return *db_;
}

std::string Database::Version() const { return open().versionText(); }

std::vector<TableDef> Database::TableDefs() const {
  std::vector<TableDef> out;
  for (const auto& entry : open().tables()) {
    out.push_back(TableDef{entry.name, static_cast<long>(entry.attributes())});
  }
  return out;
}

void Database::Close() { db_.reset(); }

std::unique_ptr<Database> Workspace::OpenDatabase(const std::string& path, bool /*exclusive*/,
                                                  bool /*readOnly*/) {
  // Every database is opened shared and read-only: the library never writes a source.
  try {
    auto db = jet::Database::open(path);
    return std::make_unique<Database>(path, std::move(db));
  } catch (const jet::Error& e) {
    engine_.fail(e.number(), e.what());
  }
}

DBEngine::DBEngine() : workspace_(*this) {}
DBEngine::~DBEngine() = default;

DBEngine& DBEngine::instance() {
  static DBEngine engine;
  return engine;
}

Workspace& DBEngine::Workspaces(int index) {
  if (index != 0) fail(3265, "Item not found in this collection: workspace " + std::to_string(index) + ".");
  return workspace_;
}

void DBEngine::CompactDatabase(const std::string& src, const std::string& dst, long options) {
  try {
    jet::compactDatabase(src, dst, options);
  } catch (const jet::Error& e) {
    fail(e.number(), e.what());
  } catch (const std::bad_alloc&) {
    fail(7, "Out of memory while compacting '" + src + "'.");
  }
}

void DBEngine::fail(long number, const std::string& description) {
  errors_.clear();
  errors_.add(ErrorItem{number, description});
  throw EngineError(number, description);
}

}  // namespace engine
