#include "jet/schema.h"

#include "jet/text.h"

namespace jet {

std::string columnTypeName(ColumnType type) {
  switch (type) {
    case ColumnType::Boolean: return "Boolean";
    case ColumnType::Byte: return "Byte";
    case ColumnType::Integer: return "Integer";
    case ColumnType::Long: return "Long";
    case ColumnType::Currency: return "Currency";
    case ColumnType::Single: return "Single";
    case ColumnType::Double: return "Double";
    case ColumnType::DateTime: return "DateTime";
    case ColumnType::Binary: return "Binary";
    case ColumnType::Text: return "Text";
    case ColumnType::OLE: return "OLE";
    case ColumnType::Memo: return "Memo";
    case ColumnType::Guid: return "Guid";
    case ColumnType::Decimal: return "Decimal";
  }
  return "Unknown(" + std::to_string(static_cast<int>(type)) + ")";
}

bool isLongValue(ColumnType type) { return type == ColumnType::Memo || type == ColumnType::OLE; }

const Column* TableDef::column(const std::string& wanted) const {
  for (const auto& c : columns) {
    if (equalsIgnoreCase(c.name, wanted)) return &c;
  }
  return nullptr;
}

std::int32_t CatalogEntry::attributes() const {
  std::uint32_t a = 0;
  const auto f = static_cast<std::uint32_t>(flags);
  if (f & 0x80000002u) a |= 0x80000002u;  // system object
  if (f & 0x00000008u) a |= 0x00000001u;  // hidden
  if (type == kObjectLinkedTable) a |= 0x40000000u;
  if (type == kObjectLinkedOdbc) a |= 0x20000000u;
  return static_cast<std::int32_t>(a);
}

}  // namespace jet
