#include "jet/row_preparer.h"

#include <algorithm>

#include "jet/database_writer.h"
#include "jet/layout/jet4_write.h"
#include "jet/text.h"
#include "jet/writer_keys.h"

namespace jet {
namespace {

std::size_t columnPosition(const TableDef& t, std::uint16_t number) {
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    if (t.columns[i].number == number) return i;
  }
  return t.columns.size();
}

}  // namespace

void PreparedBatch::clear() {
  rows.clear();
  rowBytes.clear();
  longBytes.clear();
  keyBytes.clear();
  longs.clear();
  keys.clear();
  keyValueCount = 0;
  maxAuto = INT64_MIN;
  error = nullptr;
  last = false;
}

void RowPreparer::LongValueKeeper::place(const Column& column,
                                         std::span<const std::uint8_t> content,
                                         ByteBuffer& descriptor) {
  batch->longs.push_back({&column, batch->longBytes.size(), content.size(), 0});
  batch->longBytes.insert(batch->longBytes.end(), content.begin(), content.end());
  descriptor.resize(descriptor.size() + layout::jet4::kLongValueHeader, 0);  // filled when placed
}

RowPreparer::RowPreparer(const TableDef& table, const WriteFormat& format, int generation,
                         std::uint16_t codePage, std::string what, CarriedKeys* carried)
    : table_(table),
      generation_(generation),
      codePage_(codePage),
      what_(std::move(what)),
      carried_(carried),
      encoder_(table, format, codePage),
      keyColumns_(table.physicalIndexes.size()) {
  std::size_t values = 0;
  for (std::size_t r = 0; r < table.physicalIndexes.size(); ++r) {
    firstValueOf_.push_back(values);
    values += table.physicalIndexes[r].columns.size();
    for (const IndexColumn& ic : table.physicalIndexes[r].columns) {
      const std::size_t at = columnPosition(table, ic.columnNumber);
      const Column& c = table.columns[at];
      keyColumns_[r].push_back({at, &c, ic.ascending, what_ + ", column '" + c.name + "'"});
    }
  }
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (table.columns[i].flags & kColumnAutoLong) autoColumns_.push_back(i);
  }
}

void RowPreparer::takeStoredText(RowCursor& rows) {
  // Text no index needs goes across as stored, not through UTF-8: any Jet 4
  // text to Jet 4, and ASCII to Jet 3 where the code page holds it as itself.
  if (generation_ != 4 && !(generation_ == 3 && asciiCompatible(codePage_))) return;
  std::vector<bool> keep(table_.columns.size(), false);
  bool any = false;
  for (std::size_t i = 0; i < table_.columns.size(); ++i) {
    const Column& c = table_.columns[i];
    if (c.type != ColumnType::Text && c.type != ColumnType::Memo) continue;
    bool indexed = false;
    for (const auto& columns : keyColumns_) {
      for (const KeyColumn& k : columns) indexed = indexed || k.at == i;
    }
    keep[i] = !indexed;
    any = any || keep[i];
  }
  if (any && rows.keepStoredText(keep)) encoder_.takeStoredText(keep, rows);
}

bool RowPreparer::prepareNext(RowCursor& rows, PreparedBatch& b) {
  if (!rows.next(row_)) return false;
  PreparedBatch::Row r{};
  r.firstLong = b.longs.size();
  keeper_.batch = &b;
  // Jet 3 errors name the row: code-page text may fail on any of them.
  const std::span<const std::uint8_t> bytes =
      encoder_.encode(row_, keeper_, what_, generation_ == 3 ? count_ + 1 : 0);
  r.longCount = b.longs.size() - r.firstLong;
  for (std::size_t k = r.firstLong; k < b.longs.size(); ++k) {
    b.longs[k].rowOffset = encoder_.varStart(b.longs[k].column->varIndex);
  }
  r.from = b.rowBytes.size();
  r.size = bytes.size();
  b.rowBytes.insert(b.rowBytes.end(), bytes.begin(), bytes.end());

  static const Value kNull;
  r.firstKey = b.keys.size();
  r.firstKeyValue = b.keyValueCount;
  for (std::size_t x = 0; x < table_.physicalIndexes.size(); ++x) {
    const std::size_t from = b.keyBytes.size();
    bool allNull = true, anyNull = false;
    const bool keyGiven = carried_ != nullptr && carried_->carries(x);
    for (const KeyColumn& k : keyColumns_[x]) {
      const Value& v = k.at < row_.size() ? row_[k.at] : kNull;
      if (!isNull(v) || k.column->type == ColumnType::Boolean) {
        allNull = false;
      } else {
        anyNull = true;
      }
      if (b.keyValueCount == b.keyValues.size()) b.keyValues.emplace_back();
      b.keyValues[b.keyValueCount++] = v;
    }
    bool entry;
    if (keyGiven) {
      // A carried index has an entry exactly where the source had one.
      carriedKey_.clear();
      entry = carried_->keyOfLastRow(x, carriedKey_);
      if (entry) b.keyBytes.insert(b.keyBytes.end(), carriedKey_.begin(), carriedKey_.end());
    } else {
      entry = !(allNull && (table_.physicalIndexes[x].flags & kIndexIgnoreNulls));
    }
    b.keys.push_back({from, b.keyBytes.size() - from, entry, anyNull, keyGiven});
  }
  for (std::size_t i : autoColumns_) {
    if (i < row_.size() && std::holds_alternative<std::int32_t>(row_[i])) {
      b.maxAuto = std::max<std::int64_t>(b.maxAuto, std::get<std::int32_t>(row_[i]));
    }
  }
  ++count_;
  b.rows.push_back(r);
  return true;
}

void RowPreparer::makeKey(const PreparedBatch& batch, const PreparedBatch::Row& row,
                          std::size_t index, ByteBuffer& key) const {
  const Value* values = batch.keyValues.data() + row.firstKeyValue + firstValueOf_[index];
  for (const KeyColumn& k : keyColumns_[index]) {
    appendIndexKey(key, k.column->type, *values++, k.ascending, k.what, generation_, codePage_);
  }
}

}  // namespace jet
