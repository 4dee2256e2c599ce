// Index keys as Jet 4 stores them in index pages: per key column a start
// byte, then the value encoded so that unsigned byte order is index order.
// Text uses the General (legacy) sort order, the default of Jet 4 files.
#pragma once

#include <cstdint>
#include <string>

#include "jet/schema.h"
#include "jet/value.h"
#include "jet/writer_bytes.h"

namespace jet {

// Appends the key part of one column value (`what` names the column in errors).
void appendIndexKey(ByteBuffer& key, ColumnType type, const Value& value, bool ascending,
                    const std::string& what);

// The General (legacy) key of a text value, without the column's start byte.
// Always true: every UTF-16 unit has codes.
bool appendGeneralTextKey(ByteBuffer& key, const std::u16string& text, bool ascending);

std::u16string toUtf16(const std::string& utf8);

}  // namespace jet
