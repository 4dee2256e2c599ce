// Index keys as the source file holds them, handed out by row: for text under
// a sort order the writer has no table for, a compaction within one
// generation copies Jet's own key bytes to the rows' new places. The entries
// of each index are sorted by row pointer in bounded runs (spilled beside the
// destination like the writer's key runs), so memory stays bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/database_writer.h"
#include "jet/page_file.h"
#include "jet/schema.h"
#include "jet/writer_index.h"

namespace jet {

class SourceIndexKeys : public CarriedKeys {
 public:
  // Reads physical indexes `indexes` of `table` in `file`.
  SourceIndexKeys(const PageFile& file, const TableDef& table, const std::vector<std::size_t>& indexes,
                  std::size_t memoryBudget, const std::string& folder);
  ~SourceIndexKeys() override;

  // The source row the cursor returned last; pointers must not go down.
  void setRow(std::uint32_t rowPointer);
  bool carries(std::size_t index) const override;
  bool keyOfLastRow(std::size_t index, ByteBuffer& key) override;
  // Sorted runs written to disk, over all indexes.
  std::size_t spilledRuns() const;

 private:
  struct Stream;
  std::vector<std::unique_ptr<Stream>> streams_;  // by physical index, null when not carried
  std::uint32_t row_ = 0;
  std::string what_;
};

}  // namespace jet
