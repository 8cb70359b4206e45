#include "json_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace parasim::report_tool {
namespace {

constexpr int deepest_nesting = 32;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

int hex_digit(char c) {
  if (is_digit(c)) {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

void append_utf8(std::string& out, std::uint32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xc0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3f));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xe0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code_point & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code_point & 0x3f));
  }
}

// A character for a message: printable ASCII as itself, anything else by its code.
std::string shown(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x21 && byte <= 0x7e) {
    return std::string("\"") + c + "\"";
  }
  const char* digits = "0123456789abcdef";
  return std::string("byte 0x") + digits[byte >> 4] + digits[byte & 0xf];
}

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  JsonValue whole_text() {
    JsonValue value = parse_value(0);
    skip_space();
    if (pos_ != text_.size()) {
      fail("more after the end of the value: " + shown(text_[pos_]));
    }
    return value;
  }

 private:
  [[noreturn]] void fail(const std::string& problem) const { throw MalformedJson(line_, problem); }

  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }

  void skip_space() {
    while (!at_end()) {
      const char c = peek();
      if (c == '\n') {
        ++line_;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
      ++pos_;
    }
  }

  void expect(char wanted) {
    if (at_end() || peek() != wanted) {
      fail(std::string("expected \"") + wanted + "\", found " +
           (at_end() ? std::string("the end of the text") : shown(peek())));
    }
    ++pos_;
  }

  JsonValue parse_value(int depth) {
    skip_space();
    if (at_end()) {
      fail("the text ends where a value is due");
    }
    JsonValue value;
    value.line = line_;
    const char c = peek();
    if (c == '{' || c == '[') {
      if (depth >= deepest_nesting) {
        fail("values nest more than " + std::to_string(deepest_nesting) + " deep");
      }
      if (c == '{') {
        parse_object(value, depth + 1);
      } else {
        parse_array(value, depth + 1);
      }
    } else if (c == '"') {
      value.kind = JsonValue::Kind::string;
      value.text = parse_string();
    } else if (c == '-' || is_digit(c)) {
      value.kind = JsonValue::Kind::number;
      value.text = parse_number();
    } else if (take_word("true")) {
      value.kind = JsonValue::Kind::boolean;
      value.boolean = true;
    } else if (take_word("false")) {
      value.kind = JsonValue::Kind::boolean;
    } else if (!take_word("null")) {
      fail("no value starts with " + shown(c));
    }
    return value;
  }

  bool take_word(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) {
      return false;
    }
    pos_ += word.size();
    return true;
  }

  void parse_object(JsonValue& object, int depth) {
    object.kind = JsonValue::Kind::object;
    expect('{');
    skip_space();
    if (!at_end() && peek() == '}') {
      ++pos_;
      return;
    }
    while (true) {
      skip_space();
      if (at_end() || peek() != '"') {
        fail("a key of an object is due, in double quotes");
      }
      std::string key = parse_string();
      if (object.member(key) != nullptr) {
        fail("the key \"" + key + "\" is given twice");
      }
      skip_space();
      expect(':');
      JsonValue value = parse_value(depth);
      object.members.push_back(JsonMember{std::move(key), std::move(value)});
      skip_space();
      if (!at_end() && peek() == ',') {
        ++pos_;
        continue;
      }
      expect('}');
      return;
    }
  }

  void parse_array(JsonValue& array, int depth) {
    array.kind = JsonValue::Kind::array;
    expect('[');
    skip_space();
    if (!at_end() && peek() == ']') {
      ++pos_;
      return;
    }
    while (true) {
      array.items.push_back(parse_value(depth));
      skip_space();
      if (!at_end() && peek() == ',') {
        ++pos_;
        continue;
      }
      expect(']');
      return;
    }
  }

  std::string parse_string() {
    expect('"');
    std::string out;
    while (true) {
      if (at_end()) {
        fail("the text ends inside a string");
      }
      const char c = text_[pos_++];
      if (c == '"') {
        return out;
      }
      if (static_cast<unsigned char>(c) < 0x20) {
        fail("a string holds the control character " + shown(c) + "; it must be escaped");
      }
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_end()) {
        fail("the text ends inside a string");
      }
      const char escaped = text_[pos_++];
      switch (escaped) {
        case '"':
        case '\\':
        case '/':
          out += escaped;
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
        case 'u':
          append_utf8(out, code_point());
          break;
        default:
          fail("\\" + std::string(1, escaped) + " is no escape of a string");
      }
    }
  }

  std::uint32_t hex_quad() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = at_end() ? -1 : hex_digit(peek());
      if (digit < 0) {
        fail("\\u takes four hexadecimal digits");
      }
      value = value * 16 + static_cast<std::uint32_t>(digit);
      ++pos_;
    }
    return value;
  }

  // After "\u": one character, or the two halves of a surrogate pair.
  std::uint32_t code_point() {
    const std::uint32_t first = hex_quad();
    if (first < 0xd800 || first > 0xdfff) {
      return first;
    }
    if (first > 0xdbff || !take_word("\\u")) {
      fail("a \\u escape holds half of a surrogate pair alone");
    }
    const std::uint32_t second = hex_quad();
    if (second < 0xdc00 || second > 0xdfff) {
      fail("a \\u escape holds half of a surrogate pair alone");
    }
    return 0x10000 + ((first - 0xd800) << 10) + (second - 0xdc00);
  }

  std::size_t take_digits() {
    const std::size_t start = pos_;
    while (!at_end() && is_digit(peek())) {
      ++pos_;
    }
    return pos_ - start;
  }

  // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
  std::string parse_number() {
    const std::size_t start = pos_;
    if (peek() == '-') {
      ++pos_;
    }
    const std::size_t whole_start = pos_;
    const std::size_t whole_digits = take_digits();
    if (whole_digits == 0 || (whole_digits > 1 && text_[whole_start] == '0')) {
      fail("a number's whole part is one or more digits, without a leading 0");
    }
    if (!at_end() && peek() == '.') {
      ++pos_;
      if (take_digits() == 0) {
        fail("a number's decimal point is followed by digits");
      }
    }
    if (!at_end() && (peek() == 'e' || peek() == 'E')) {
      ++pos_;
      if (!at_end() && (peek() == '+' || peek() == '-')) {
        ++pos_;
      }
      if (take_digits() == 0) {
        fail("a number's exponent is followed by digits");
      }
    }
    return std::string(text_.substr(start, pos_ - start));
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::uint64_t line_ = 1;
};

}  // namespace

const JsonValue* JsonValue::member(std::string_view key) const {
  const auto found = std::find_if(members.begin(), members.end(),
                                  [key](const JsonMember& item) { return item.key == key; });
  return found == members.end() ? nullptr : &found->value;
}

std::optional<double> JsonValue::number() const {
  double value = 0.0;
  if (kind != Kind::number) {
    return std::nullopt;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::int64_t> JsonValue::whole_number() const {
  std::int64_t value = 0;
  if (kind != Kind::number) {
    return std::nullopt;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

JsonValue parse_json(std::string_view text) {
  return JsonParser(text).whole_text();
}

}  // namespace parasim::report_tool
