#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace parasim::report_tool {

// A JSON value with the members of each object in the order written.
using Json = nlohmann::ordered_json;

// A text that is not one JSON value as the small files around a run hold them; line counts
// from 1.
class MalformedJson : public std::runtime_error {
 public:
  MalformedJson(std::uint64_t line, const std::string& problem)
      : std::runtime_error(problem), line_(line) {}
  std::uint64_t line() const { return line_; }

 private:
  std::uint64_t line_;
};

// A JSON text read whole (the run record, a history's run.json), with the line each value
// starts on, so that a reader can point at the value it refuses.
class JsonDocument {
 public:
  // Reads a text holding one JSON value and nothing else but white space. The keys of an
  // object are distinct (a file that gives one twice is damaged: which was meant cannot be
  // told) and values nest at most 32 deep. Throws MalformedJson at the line of the first fault.
  explicit JsonDocument(std::string_view text);

  const Json& root() const { return root_; }

  // The line on which the value at `where` starts; for a pointer to no value, that of the
  // last value on its way that is there.
  std::uint64_t line_of(const Json::json_pointer& where) const;

  // The line of a value and of the values inside it, in the order of the value's own.
  struct ValueLines {
    std::uint64_t line = 1;
    std::vector<ValueLines> inner;
  };

 private:
  Json root_;
  ValueLines lines_;
};

}  // namespace parasim::report_tool
