// DBEngine: the one engine object the window talks to, shaped like the
// automation interface it stands in for (Workspaces, OpenDatabase, CompactDatabase,
// Errors). It turns jet::Error into an entry of Errors and an EngineError thrown
// to the caller's handler. Only the user-interface thread calls it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/engine_error.h"

namespace jet {
class Database;
}

namespace engine {

// One item of DBEngine.Errors.
struct ErrorItem {
  long Number = 0;
  std::string Description;
};

// DBEngine.Errors: the errors of the last failed engine call.
class Errors {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  const ErrorItem& Item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  void clear() { items_.clear(); }
  void add(ErrorItem item) { items_.push_back(std::move(item)); }

 private:
  std::vector<ErrorItem> items_;
};

// TableDefs item: what a listing of a database needs.
struct TableDef {
  std::string Name;
  long Attributes = 0;  // 32-bit flags; 0 for plain user tables
};

// Attribute flags, with the values the automation interface gives them.
inline constexpr long kSystemObject = static_cast<long>(0x80000002u);
inline constexpr long kHiddenObject = 0x1;
inline constexpr long kAttachedTable = 0x40000000;
inline constexpr long kAttachedODBC = 0x20000000;

// An open database: read-only and shared; released by Close or when destroyed.
class Database {
 public:
  Database(std::string name, std::unique_ptr<jet::Database> db);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  std::string Version() const;
  const std::string& Name() const { return name_; }
  std::vector<TableDef> TableDefs() const;
  void Close();

 private:
  const jet::Database& open() const;
  std::string name_;
  std::unique_ptr<jet::Database> db_;
};

class DBEngine;

// Workspaces(0): the default workspace.
class Workspace {
 public:
  explicit Workspace(DBEngine& engine) : engine_(engine) {}
  std::unique_ptr<Database> OpenDatabase(const std::string& path, bool exclusive = false,
                                         bool readOnly = true);

 private:
  DBEngine& engine_;
};

// Version codes of CompactDatabase.
inline constexpr long kVersionSame = 0;
inline constexpr long kVersion20 = 16;
inline constexpr long kVersion30 = 32;
inline constexpr long kVersion40 = 64;

class DBEngine {
 public:
  DBEngine();
  virtual ~DBEngine();

  // The process-wide engine, created on first use.
  static DBEngine& instance();

  virtual std::string Version() const { return "4.0"; }
  Workspace& Workspaces(int index);
  // Compacts src into dst (which must not exist) at the version of `options`.
  virtual void CompactDatabase(const std::string& src, const std::string& dst, long options);
  const engine::Errors& Errors() const { return errors_; }

  // Records a failure in Errors and throws it as an EngineError.
  [[noreturn]] void fail(long number, const std::string& description);

 private:
  engine::Errors errors_;
  Workspace workspace_;
};

}  // namespace engine
