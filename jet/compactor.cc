#include "jet/compactor.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

#include "jet/database.h"
#include "jet/database_writer.h"
#include "jet/error.h"
#include "jet/file_output.h"
#include "jet/page_file.h"
#include "jet/read_ahead_rows.h"
#include "jet/table_scan.h"
#include "jet/text.h"
#include "jet/writer_keys_carried.h"

namespace jet {
namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string temporaryBeside(const std::string& destination) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = folderOf(destination);
  const auto slash = destination.find_last_of('/');
  const std::string name = slash == std::string::npos ? destination : destination.substr(slash + 1);
  for (;;) {
    std::string candidate = folder + "/." + name + ".compact-" + std::to_string(::getpid()) + "-" +
                            std::to_string(counter++) + ".tmp";
    if (!exists(candidate)) return candidate;
  }
}

// A compaction killed before it linked its result leaves its temporary file
// (".NAME.compact-PID-N.tmp"). The next compaction to the same name removes
// those whose process is gone; a live process's file is left alone.
void removeStaleTemporaries(const std::string& destination) {
  const std::string folder = folderOf(destination);
  const auto slash = destination.find_last_of('/');
  const std::string prefix =
      "." + (slash == std::string::npos ? destination : destination.substr(slash + 1)) +
      ".compact-";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, ".tmp") != 0) {
      continue;
    }
    const std::string rest = name.substr(prefix.size());
    const auto dash = rest.find('-');
    if (dash == std::string::npos || dash == 0) continue;
    bool digits = true;
    for (std::size_t i = 0; i < dash; ++i) digits = digits && rest[i] >= '0' && rest[i] <= '9';
    if (!digits || dash > 9) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, dash)));
    if (pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH)) {
      ::unlink((folder + "/" + name).c_str());
    }
  }
  ::closedir(dir);
}

// The writer names its own (temporary) file in errors; the caller knows the destination.
Error forDestination(const Error& e, const std::string& temp, const std::string& destination) {
  // A refusal names the temporary file, which is gone by now: name the
  // destination, and say the content cannot be written rather than read.
  if (e.number() == kErrUnsupported) {
    const std::string text = e.what(), head = "'" + temp, marker = "' cannot be read: ";
    if (text.compare(0, head.size(), head) != 0) return renamed(e, temp, destination);
    const std::string rest = text.substr(head.size());
    const std::size_t at = rest.find(marker);
    if (at == std::string::npos) return renamed(e, temp, destination);
    std::string where = rest.substr(0, at);
    if (where.compare(0, 2, ", ") == 0) where = where.substr(2);
    return Error(kErrUnsupported, quoted(destination) + " cannot be written: " +
                                      (where.empty() ? "" : where + ": ") +
                                      rest.substr(at + marker.size()));
  }
  if (e.number() != kErrWriteFailed) return renamed(e, temp, destination);
  std::string why = e.what();
  const std::string prefix = "Cannot write " + quoted(temp) + ": ";
  if (why.compare(0, prefix.size(), prefix) == 0) why = why.substr(prefix.size());
  if (!why.empty() && why.back() == '.') why.pop_back();
  return writeFailed(destination, why + " (writing the temporary file " + quoted(temp) + ")");
}

// Containers and objects the writer creates, by name.
std::optional<std::int32_t> writerOwnsObject(const CatalogEntry& e) {
  if (e.type == kObjectContainer && equalsIgnoreCase(e.name, "Tables")) return kTablesContainerId;
  if (e.type == kObjectContainer && equalsIgnoreCase(e.name, "Databases")) {
    return kDatabasesContainerId;
  }
  if (e.type == kObjectContainer && equalsIgnoreCase(e.name, "Relationships")) {
    return kRelationshipsContainerId;
  }
  if (e.type == kObjectDatabase && equalsIgnoreCase(e.name, "MSysDb")) return kMSysDbId;
  return std::nullopt;
}

// The definition as the Jet 4 writer takes it. Columns are numbered in their
// order (the writer keeps number order, and a Jet 2 column's number is only a
// storage position), index columns follow; Jet 3 and older count text lengths
// in characters, Jet 4 in UTF-16 bytes. `source` names the file in errors.
TableDef asJet4(TableDef def, JetVersion from, const std::string& source) {
  std::map<std::uint16_t, std::uint16_t> renumber;
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    renumber[def.columns[i].number] = static_cast<std::uint16_t>(i);
    def.columns[i].number = static_cast<std::uint16_t>(i);
  }
  for (auto& index : def.physicalIndexes) {
    for (auto& c : index.columns) {
      const auto it = renumber.find(c.columnNumber);
      if (it == renumber.end()) {
        throw damaged(Where{source}, "table " + quoted(def.name) +
                                         ": an index names column number " +
                                         std::to_string(c.columnNumber) + ", which does not exist");
      }
      c.columnNumber = it->second;
    }
  }
  if (from == JetVersion::Jet4) return def;
  for (auto& c : def.columns) {
    if (c.type == ColumnType::Text)
      c.length = static_cast<std::uint16_t>(std::min(2 * c.length, 510));
  }
  return def;
}

// The definition for the Jet 3 writer: text lengths in characters.
TableDef asJet3(TableDef def, JetVersion from, const std::string& source) {
  def = asJet4(std::move(def), from, source);
  for (auto& c : def.columns) {
    if (c.type == ColumnType::Text) c.length = static_cast<std::uint16_t>(std::max(1, c.length / 2));
  }
  return def;
}

// The long values and dates of MSysObjects rows, which the catalog entries do not carry.
struct ObjectExtras {
  Bytes lv, lvModule, lvExtra;
  double dateCreate = 0, dateUpdate = 0;
};

std::map<std::int32_t, ObjectExtras> readObjectExtras(const Database& db) {
  std::map<std::int32_t, ObjectExtras> out;
  const CatalogEntry* objects = nullptr;
  for (const auto& e : db.objects()) {
    if (e.isLocalTable() && equalsIgnoreCase(e.name, "MSysObjects")) objects = &e;
  }
  if (objects == nullptr) return out;
  const TableDef def = db.tableDef(*objects);
  auto column = [&](const char* name) -> int {
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
      if (equalsIgnoreCase(def.columns[i].name, name)) return static_cast<int>(i);
    }
    return -1;
  };
  const int id = column("Id"), lv = column("Lv"), lvModule = column("LvModule"),
            lvExtra = column("LvExtra"), created = column("DateCreate"),
            updated = column("DateUpdate");
  if (id < 0) return out;
  auto bytes = [](const Row& row, int at) -> Bytes {
    if (at < 0) return {};
    if (const auto* b = std::get_if<Bytes>(&row[at])) return *b;
    return {};
  };
  auto date = [](const Row& row, int at) -> double {
    if (at < 0) return 0;
    if (const auto* d = std::get_if<DateTime>(&row[at])) return d->oaDate;
    return 0;
  };
  auto rows = db.rows(def);
  Row row;
  while (rows->next(row)) {
    const auto* key = std::get_if<std::int32_t>(&row[id]);
    if (key == nullptr) continue;
    out[*key] = ObjectExtras{bytes(row, lv), bytes(row, lvModule), bytes(row, lvExtra),
                             date(row, created), date(row, updated)};
  }
  return out;
}

// The sort orders the writer makes text keys for (0: none given, General).
bool writerKnowsSortOrder(std::uint16_t lcid) { return lcid == 0x0409 || lcid == 0; }

std::string sortOrderName(std::uint16_t lcid) {
  switch (lcid) {
    case 1041: return "1041 (Japanese)";
    case 1054: return "1054 (Thai)";
    case 1055: return "1055 (Turkish)";
    case 2052: return "2052 (Chinese, PRC)";
    default: return std::to_string(lcid);
  }
}

int generationOf(JetVersion v) {
  return v == JetVersion::Jet4 ? 4 : v == JetVersion::Jet3 ? 3 : 2;
}

// Physical indexes whose text the writer cannot encode. Within one
// generation their keys are taken from the source; across generations the
// key format changes, so the compaction is refused.
std::vector<std::size_t> indexesToCarry(const Database& db, const TableDef& def, int generation,
                                        const std::string& temp) {
  std::vector<std::size_t> carry;
  for (std::size_t i = 0; i < def.physicalIndexes.size(); ++i) {
    for (const IndexColumn& ic : def.physicalIndexes[i].columns) {
      const Column* c = nullptr;
      for (const Column& k : def.columns) {
        if (k.number == ic.columnNumber) c = &k;
      }
      if (c == nullptr || (c->type != ColumnType::Text && c->type != ColumnType::Memo) ||
          writerKnowsSortOrder(c->sortOrder)) {
        continue;
      }
      // Carried keys need a Jet 3/4 source scanned as such.
      if (generationOf(db.version()) != generation || generation < 3) {
        // Named like the writer's refusals, so the caller names the destination.
        throw unsupported(temp + ", table '" + def.name + "', column '" + c->name + "'",
                          "the column is indexed under sort order " + sortOrderName(c->sortOrder) +
                              ", whose keys can only be kept in a Jet " + db.versionText() +
                              " result; the writer makes keys for the General order (1033) only");
      }
      carry.push_back(i);
      break;
    }
  }
  return carry;
}

// The source's rows in page order, telling the carried keys where each came from.
class CarryingRows : public RowCursor {
 public:
  CarryingRows(const PageFile& file, const TableDef& def, SourceIndexKeys& keys)
      : scan_(file, def), keys_(keys) {}
  bool next(Row& row) override {
    if (!scan_.next(row)) return false;
    keys_.setRow(scan_.rowPointer());
    return true;
  }

 private:
  TableScan scan_;
  SourceIndexKeys& keys_;
};

// Below this many rows (as the source counts them) a table is copied on one
// thread: starting threads and their buffers costs more than they save.
constexpr std::uint32_t kRowsWorthThreads = 2048;

void copyContents(const Database& db, DatabaseWriter& writer, const CompactOptions& options,
                  int generation, const std::string& temp) {
  const auto extras = readObjectExtras(db);
  auto extrasOf = [&](std::int32_t id) {
    const auto it = extras.find(id);
    return it == extras.end() ? ObjectExtras{} : it->second;
  };
  std::vector<ReadAheadRows::Batch> readBatches;  // kept from table to table
  for (const auto& e : db.objects()) {
    if (!e.isLocalTable() || isRebuiltCatalogTable(e.name)) continue;
    if (options.onTable) options.onTable(e.name);
    const TableDef def = db.tableDef(e);
    const ObjectExtras x = extrasOf(e.id);
    TableObject object{e.flags, db.properties(e), x.dateCreate, x.dateUpdate};
    const TableDef target = generation <= 3 ? asJet3(def, db.version(), db.path())
                                            : asJet4(def, db.version(), db.path());
    const std::vector<std::size_t> carry = indexesToCarry(db, def, generation, temp);
    if (carry.empty()) {
      auto rows = db.rows(def);
      if (def.rowCount < kRowsWorthThreads) {
        writer.addTable(target, *rows, object);
      } else {
        // Three stages of the row pass on threads of their own: reading and
        // decoding the source (here), encoding for the copy (the writer's
        // read ahead), placing rows and building indexes (the writer).
        ReadAheadRows ahead(*rows, readBatches);
        object.readAhead = true;
        writer.addTable(target, ahead, object);
      }
    } else {
      SourceIndexKeys keys(db.file(), def, carry, options.carriedKeyMemory, folderOf(temp));
      CarryingRows rows(db.file(), def, keys);
      object.carriedKeys = &keys;
      writer.addTable(target, rows, object);
    }
  }
  // Other objects, parents before children: containers first.
  std::map<std::int32_t, std::int32_t> newId = {{kRootParentId, kRootParentId}};
  for (const auto& e : db.objects()) {
    if (auto own = writerOwnsObject(e)) newId[e.id] = *own;
  }
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& e : db.objects()) {
      const bool container = e.type == kObjectContainer;
      if ((pass == 0) != container) continue;
      if (e.isLocalTable() || e.type == kObjectQuery || e.type == kObjectRelationship) continue;
      if (newId.count(e.id) != 0) continue;
      const ObjectExtras x = extrasOf(e.id);
      CatalogObject o;
      o.name = e.name;
      o.type = e.type;
      const auto parent = newId.find(e.parentId);
      o.parentId = parent != newId.end() ? parent->second : kRootParentId;
      o.flags = e.flags;
      o.properties = db.properties(e);
      o.lv = x.lv;
      o.lvModule = x.lvModule;
      o.lvExtra = x.lvExtra;
      o.database = e.database;
      o.connect = e.connect;
      o.foreignName = e.foreignName;
      o.dateCreate = x.dateCreate;
      o.dateUpdate = x.dateUpdate;
      newId[e.id] = writer.addObject(o);
    }
  }
  for (const auto& q : db.queries()) {
    std::vector<PropertyMap> properties;
    for (const auto& e : db.objects()) {
      if (e.id == q.id) properties = db.properties(e);
    }
    writer.addQuery(q, properties);
  }
  for (const auto& r : db.relationships()) writer.addRelationship(r);
  writer.setDatabaseProperties(db.databaseProperties());
}

// Links the finished file in under its final name; never replaces a file.
void linkIntoPlace(const std::string& temp, const std::string& destination) {
  FileOutput& calls = fileOutput();
  if (calls.link(temp.c_str(), destination.c_str()) != 0) {
    const int err = errno;
    if (err == EEXIST) throw destinationExists(destination);
    throw writeFailed(destination, std::strerror(err));
  }
  ::unlink(temp.c_str());
  // Best effort: the file is complete and in place whether or not the folder flush succeeds.
  calls.syncFolder(folderOf(destination).c_str());
}

}  // namespace

void compactDatabase(const std::string& source, const std::string& destination, long versionCode,
                     const CompactOptions& options) {
  if (destination.empty()) throw invalidPath(destination, "the path is empty");
  if (exists(destination)) throw destinationExists(destination);
  auto db = Database::open(source);
  JetVersion target = db->version();
  switch (versionCode) {
    case kCompactSame:
      break;
    case kCompactJet40:
      target = JetVersion::Jet4;
      break;
    case kCompactJet30:
      target = JetVersion::Jet3;
      break;
    case kCompactJet20:
      target = JetVersion::Jet2;
      break;
    default:
      throw unsupported(source,
                        "version code " + std::to_string(versionCode) + " names no Jet version");
  }
  if (target != JetVersion::Jet4 && target != JetVersion::Jet3 && target != JetVersion::Jet2) {
    throw unsupported(source, "writing Jet " + versionText(target) + " files is not supported yet");
  }
  removeStaleTemporaries(destination);
  const std::string temp = temporaryBeside(destination);
  try {
    WriterOptions wo;
    wo.codePage = db->header().codePage == 0 ? 1252 : db->header().codePage;
    wo.creationDate = options.creationDate;
    if (target == JetVersion::Jet3) wo.generation = 3;
    if (target == JetVersion::Jet2) wo.generation = 2;
    // Both generations' page 0 hold an LCID; the sort version is Jet 4's own.
    if (db->header().sortOrder != 0) wo.sortOrder = db->header().sortOrder;
    if (target == JetVersion::Jet4 && db->version() == JetVersion::Jet4) {
      wo.sortVersion = db->header().sortVersion;
    }
    DatabaseWriter writer(temp, wo);
    copyContents(*db, writer, options, wo.generation, temp);
    writer.finish();
    linkIntoPlace(temp, destination);
  } catch (const Error& e) {
    ::unlink(temp.c_str());
    throw forDestination(e, temp, destination);
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
}

bool isRebuiltCatalogTable(const std::string& name) {
  for (const char* own : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships",
                          "MSysColumns", "MSysIndexes"}) {
    if (equalsIgnoreCase(name, own)) return true;
  }
  return false;
}

}  // namespace jet
