#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace parasim::report_tool {

struct JsonMember;

// One value of a JSON text, as the small files around a run hold them (the run record, a
// history's run.json).
struct JsonValue {
  enum class Kind { null, boolean, number, string, array, object };

  Kind kind = Kind::null;
  bool boolean = false;
  std::string text;                 // a number as written, or a string's characters (UTF-8)
  std::vector<JsonValue> items;     // of an array
  std::vector<JsonMember> members;  // of an object, in the order written
  std::uint64_t line = 0;           // where the value starts, counting from 1

  // The member of an object named key; nullptr when there is none or this is not an object.
  const JsonValue* member(std::string_view key) const;

  // A number's value; nothing for anything but a number, or one too large for a double.
  std::optional<double> number() const;
  // A number written as a whole number that fits an int64; nothing otherwise.
  std::optional<std::int64_t> whole_number() const;
};

struct JsonMember {
  std::string key;
  JsonValue value;
};

// A text that is not one JSON value; line counts from 1.
class MalformedJson : public std::runtime_error {
 public:
  MalformedJson(std::uint64_t line, const std::string& problem)
      : std::runtime_error(problem), line_(line) {}
  std::uint64_t line() const { return line_; }

 private:
  std::uint64_t line_;
};

// Reads a text holding one JSON value and nothing else but white space. Keys of an object are
// distinct, and values nest at most 32 deep. Throws MalformedJson at the first fault.
JsonValue parse_json(std::string_view text);

}  // namespace parasim::report_tool
