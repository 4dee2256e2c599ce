// compactDatabase: writes everything a database holds into a new file at a
// target Jet version. The source is only read. The result is built in a
// temporary file beside the destination, flushed, and linked into place only
// when complete, so a failure or a kill leaves no destination or a whole one.
// The temporary file is named ".NAME.compact-PID-N.tmp" (hidden, never a
// database name); one left by a killed process is removed by the next
// compaction to the same destination once that process is gone.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace jet {

// Version codes: 0 = the source's own version, 16 = Jet 2.0, 32 = Jet 3.0, 64 = Jet 4.0.
inline constexpr long kCompactSame = 0;
inline constexpr long kCompactJet20 = 16;
inline constexpr long kCompactJet30 = 32;
inline constexpr long kCompactJet40 = 64;

struct CompactOptions {
  // Called before each table is copied; for progress displays.
  std::function<void(const std::string& table)> onTable;
  // Memory for the index keys taken over from the source (text under a sort
  // order the writer has no table for), per table; more is sorted on disk.
  std::size_t carriedKeyMemory = 32u << 20;
  // The result's creation date (OLE date); 0 means now. A fixed date makes
  // two compactions of one source byte-identical.
  double creationDate = 0;
};

// Throws jet::Error: 3204 when `destination` exists, the reader's errors for
// the source, writeFailed for the destination, unsupported for a target the
// engine cannot write.
void compactDatabase(const std::string& source, const std::string& destination, long versionCode,
                     const CompactOptions& options = {});

// The catalog tables a compaction builds itself instead of copying (case
// ignored): the writer's own system tables, and the Jet 1.x/2.0 ones that
// later versions keep inside their table definitions.
bool isRebuiltCatalogTable(const std::string& name);

}  // namespace jet
