// Text forms of values, shared by the command-line tool, the writer's tests
// and verification: one canonical spelling per type (dates ISO 8601 with
// milliseconds only when needed, currency with four decimals, binary as
// lowercase hex, GUIDs braced in uppercase, floats shortest round-trip).
#pragma once

#include <string>
#include <string_view>

#include "jet/value.h"

namespace jet {

// The value as plain text; null is the empty string.
void appendValueText(std::string& out, const Value& v);
std::string valueText(const Value& v);

// The value as a JSON token: null, true/false, numbers bare, the rest strings.
void appendValueJson(std::string& out, const Value& v);
void appendJsonString(std::string& out, std::string_view text);

// One field of an RFC 4180 record (quoted when it holds a comma, quote or line break).
void appendCsvField(std::string& out, std::string_view text);

std::string currencyText(Currency c);
std::string decimalText(const Decimal& d);
// An OLE Automation date: days from 1899-12-30, the fraction's absolute value
// the time of day, rounded to milliseconds.
std::string dateText(double oaDate);
std::string guidText(const Guid& g);
std::string floatText(float f);
std::string doubleText(double d);

}  // namespace jet
