// Query::sql(): SQL text rebuilt from a query's MSysQueries rows (Jet keeps
// no SQL text). The attribute numbers and flag bits are listed in
// docs of the catalog; the result is Jet SQL as Access would show it.
#include <string>
#include <vector>

#include "jet/schema.h"

namespace jet {

namespace {

enum Attribute : std::uint8_t {
  kType = 1, kParameter = 2, kOptions = 3, kRemoteDb = 4, kTable = 5, kColumn = 6, kJoin = 7,
  kWhere = 8, kGroupBy = 9, kHaving = 10, kOrderBy = 11,
};
enum Kind { kSelect = 1, kMakeTable, kAppend, kUpdate, kDelete, kCrosstab, kDdl, kPassThrough, kUnion };

std::vector<const QueryRow*> rowsOf(const Query& q, std::uint8_t attribute) {
  std::vector<const QueryRow*> out;
  for (const auto& r : q.rows) {
    if (r.attribute == attribute) out.push_back(&r);
  }
  return out;
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += separator;
    out += parts[i];
  }
  return out;
}

std::string typeName(std::int16_t jetType) {
  switch (jetType) {
    case 1: return "Bit";
    case 2: return "Byte";
    case 3: return "Short";
    case 4: return "Long";
    case 5: return "Currency";
    case 6: return "IEEESingle";
    case 7: return "IEEEDouble";
    case 8: return "DateTime";
    case 9: return "Binary";
    case 10: return "Text";
    case 11: return "LongBinary";
    case 12: return "Memo";
    case 15: return "Guid";
    default: return "Value";
  }
}

// FROM: plain tables, with join rows folding two items into one.
std::string fromClause(const Query& q) {
  struct Item {
    std::vector<std::string> names;
    std::string text;
  };
  std::vector<Item> items;
  for (const QueryRow* t : rowsOf(q, kTable)) {
    const std::string key = t->name2.empty() ? t->name1 : t->name2;
    std::string text = "[" + t->name1 + "]";
    if (!t->expression.empty()) text += " IN '" + t->expression + "'";
    if (!t->name2.empty()) text += " AS [" + t->name2 + "]";
    items.push_back({{key}, text});
  }
  auto find = [&](const std::string& name) -> int {
    for (std::size_t i = 0; i < items.size(); ++i) {
      for (const auto& n : items[i].names) {
        if (n == name) return static_cast<int>(i);
      }
    }
    return -1;
  };
  for (const QueryRow* j : rowsOf(q, kJoin)) {
    const int left = find(j->name1), right = find(j->name2);
    if (left < 0 || right < 0 || left == right) continue;
    const char* kind = j->flag == 2 ? " LEFT JOIN " : j->flag == 3 ? " RIGHT JOIN " : " INNER JOIN ";
    Item merged{items[left].names, "(" + items[left].text + kind + items[right].text + " ON " +
                                       j->expression + ")"};
    merged.names.insert(merged.names.end(), items[right].names.begin(), items[right].names.end());
    items[left] = std::move(merged);
    items.erase(items.begin() + right);
  }
  std::vector<std::string> parts;
  for (auto& item : items) {
    if (item.text.size() > 1 && item.text.front() == '(' && items.size() == 1) {
      item.text = item.text.substr(1, item.text.size() - 2);
    }
    parts.push_back(item.text);
  }
  return joined(parts, ", ");
}

// In a crosstab, output flag 0 is the TRANSFORM value, 1 the PIVOT heading, 2 row headings.
std::string crosstabPart(const Query& q, std::int16_t flag) {
  for (const QueryRow* c : rowsOf(q, kColumn)) {
    if (c->flag == flag) return c->expression;
  }
  return {};
}

std::string columnList(const Query& q, bool crosstab = false) {
  std::vector<std::string> parts;
  for (const QueryRow* c : rowsOf(q, kColumn)) {
    if (crosstab && c->flag != 2) continue;
    parts.push_back(c->name1.empty() ? c->expression : c->expression + " AS [" + c->name1 + "]");
  }
  const auto options = rowsOf(q, kOptions);
  if (!options.empty() && (options[0]->flag & 0x01)) parts.insert(parts.begin(), "*");
  return parts.empty() ? "*" : joined(parts, ", ");
}

std::string selectHead(const Query& q) {
  std::string out = "SELECT ";
  const auto options = rowsOf(q, kOptions);
  if (!options.empty()) {
    const std::int16_t f = options[0]->flag;
    if (f & 0x02) out += "DISTINCT ";
    if (f & 0x08) out += "DISTINCTROW ";
    if (f & 0x10) out += "TOP " + options[0]->name1 + ((f & 0x20) ? " PERCENT " : " ");
  }
  return out;
}

std::string tail(const Query& q, bool crosstab = false) {
  std::string out;
  const auto clause = [&, crosstab](std::uint8_t attribute, const char* word, const char* separator) {
    std::vector<std::string> parts;
    for (const QueryRow* r : rowsOf(q, attribute)) {
      // A crosstab's column heading (flag 1) is grouped by its PIVOT, not here.
      if (crosstab && attribute == kGroupBy && r->flag == 1) continue;
      const bool descending = r->name1 == "D" || r->name1 == "d";
      parts.push_back(attribute == kOrderBy && descending ? r->expression + " DESC"
                                                          : r->expression);
    }
    if (!parts.empty()) out += std::string("\n") + word + joined(parts, separator);
  };
  clause(kWhere, "WHERE ", " AND ");
  clause(kGroupBy, "GROUP BY ", ", ");
  clause(kHaving, "HAVING ", " AND ");
  clause(kOrderBy, "ORDER BY ", ", ");
  return out;
}

std::string parameters(const Query& q) {
  std::vector<std::string> parts;
  for (const QueryRow* p : rowsOf(q, kParameter)) {
    const bool bracketed = !p->name1.empty() && p->name1.front() == '[';
    parts.push_back((bracketed ? p->name1 : "[" + p->name1 + "]") + " " + typeName(p->flag));
  }
  return parts.empty() ? "" : "PARAMETERS " + joined(parts, ", ") + ";\n";
}

}  // namespace

std::string Query::sql() const {
  const auto type = rowsOf(*this, kType);
  const int kind = type.empty() ? static_cast<int>(kSelect) : type[0]->flag;
  const std::string target = type.empty() ? "" : "[" + type[0]->name1 + "]";
  const std::string from = fromClause(*this);
  const std::string fromText = from.empty() ? "" : "\nFROM " + from;
  std::string body;
  switch (kind) {
    case kMakeTable:
      body = selectHead(*this) + columnList(*this) + " INTO " + target + fromText + tail(*this);
      break;
    case kAppend:
      body = "INSERT INTO " + target + "\n" + selectHead(*this) + columnList(*this) + fromText +
             tail(*this);
      break;
    case kUpdate: {
      std::vector<std::string> sets;
      for (const QueryRow* c : rowsOf(*this, kColumn)) sets.push_back(c->name1 + " = " + c->expression);
      body = "UPDATE " + from + "\nSET " + joined(sets, ", ") + tail(*this);
      break;
    }
    case kDelete: body = "DELETE " + columnList(*this) + fromText + tail(*this); break;
    case kDdl:
    case kPassThrough: {
      // The statement is stored whole in the type row, NUL-terminated.
      std::string text = type.empty() ? std::string() : type[0]->expression;
      while (!text.empty() && (text.back() == '\0' || text.back() == ';')) text.pop_back();
      body = text;
      break;
    }
    case kUnion: {
      std::vector<std::string> parts;
      for (const QueryRow* t : rowsOf(*this, kTable)) parts.push_back(t->expression);
      const auto options = rowsOf(*this, kOptions);
      const bool all = !options.empty() && (options[0]->flag & 0x01) == 0;
      body = joined(parts, all ? "\nUNION ALL " : "\nUNION ") + tail(*this);
      break;
    }
    case kCrosstab:
      body = "TRANSFORM " + crosstabPart(*this, 0) + "\n" + selectHead(*this) +
             columnList(*this, true) + fromText + tail(*this, true) + "\nPIVOT " +
             crosstabPart(*this, 1);
      break;
    default: body = selectHead(*this) + columnList(*this) + fromText + tail(*this); break;
  }
  return parameters(*this) + body + ";";
}

}  // namespace jet
