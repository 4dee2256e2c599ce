// A small strict JSON reader for the tests: one value per text, objects,
// arrays, strings (with escapes), numbers, true, false and null. Anything
// else, or trailing text, is a parse failure.
#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> fields;

  bool has(const std::string& key) const { return fields.count(key) != 0; }
  const JsonValue& operator[](const std::string& key) const { return fields.at(key); }
  bool isNull() const { return kind == Kind::Null; }
};

class JsonParser {
 public:
  static std::optional<JsonValue> parse(const std::string& text) {
    JsonParser p(text);
    JsonValue v;
    if (!p.value(v, 0)) return std::nullopt;
    p.space();
    if (p.at_ != text.size()) return std::nullopt;
    return v;
  }

 private:
  explicit JsonParser(const std::string& text) : s_(text) {}

  void space() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r'))
      ++at_;
  }
  bool literal(const char* word) {
    const std::string w(word);
    if (s_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }
  bool value(JsonValue& v, int depth) {
    if (depth > 64) return false;
    space();
    if (at_ >= s_.size()) return false;
    const char c = s_[at_];
    if (c == '{') return object(v, depth);
    if (c == '[') return array(v, depth);
    if (c == '"') {
      v.kind = JsonValue::Kind::String;
      return string(v.text);
    }
    if (literal("true")) {
      v.kind = JsonValue::Kind::Bool;
      v.boolean = true;
      return true;
    }
    if (literal("false")) {
      v.kind = JsonValue::Kind::Bool;
      return true;
    }
    if (literal("null")) return true;
    return number(v);
  }
  bool number(JsonValue& v) {
    const std::size_t start = at_;
    if (at_ < s_.size() && s_[at_] == '-') ++at_;
    auto digits = [&] {
      const std::size_t from = at_;
      while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
      return at_ > from;
    };
    if (!digits()) return false;
    if (at_ < s_.size() && s_[at_] == '.') {
      ++at_;
      if (!digits()) return false;
    }
    if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
      ++at_;
      if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
      if (!digits()) return false;
    }
    v.kind = JsonValue::Kind::Number;
    v.number = std::strtod(s_.substr(start, at_ - start).c_str(), nullptr);
    return true;
  }
  bool string(std::string& out) {
    ++at_;  // the opening quote
    while (at_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= s_.size()) return false;
      const char e = s_[at_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          if (at_ + 4 > s_.size()) return false;
          for (int k = 0; k < 4; ++k) {
            if (!std::isxdigit(static_cast<unsigned char>(s_[at_ + k]))) return false;
          }
          out += "\\u" + s_.substr(at_, 4);  // kept as written: the tests compare ASCII
          at_ += 4;
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }
  bool array(JsonValue& v, int depth) {
    v.kind = JsonValue::Kind::Array;
    ++at_;
    space();
    if (at_ < s_.size() && s_[at_] == ']') return ++at_, true;
    for (;;) {
      JsonValue item;
      if (!value(item, depth + 1)) return false;
      v.items.push_back(std::move(item));
      space();
      if (at_ >= s_.size()) return false;
      if (s_[at_] == ']') return ++at_, true;
      if (s_[at_++] != ',') return false;
    }
  }
  bool object(JsonValue& v, int depth) {
    v.kind = JsonValue::Kind::Object;
    ++at_;
    space();
    if (at_ < s_.size() && s_[at_] == '}') return ++at_, true;
    for (;;) {
      space();
      std::string key;
      if (at_ >= s_.size() || s_[at_] != '"' || !string(key)) return false;
      if (v.fields.count(key) != 0) return false;  // a key twice is a fault of the writer
      space();
      if (at_ >= s_.size() || s_[at_++] != ':') return false;
      JsonValue item;
      if (!value(item, depth + 1)) return false;
      v.fields.emplace(std::move(key), std::move(item));
      space();
      if (at_ >= s_.size()) return false;
      if (s_[at_] == '}') return ++at_, true;
      if (s_[at_++] != ',') return false;
    }
  }

  const std::string& s_;
  std::size_t at_ = 0;
};
