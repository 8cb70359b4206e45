#include "json_document.hpp"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <iterator>
#include <utility>

namespace parasim::report_tool {
namespace {

constexpr std::size_t deepest_nesting = 32;
// nlohmann's words for a fault quote what was read last, which in a damaged file can be most
// of it.
constexpr std::size_t longest_problem = 200;

// How far the parser has read: the line it is on and the last character it took.
struct ReadPosition {
  std::uint64_t line = 1;
  char last = '\0';
};

// The text handed to the parser one character at a time, counting the line ends passed, so
// that each value read can be given the line it starts on.
class CountingReader {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingReader(const char* at, ReadPosition* position) : at_(at), position_(position) {}

  reference operator*() const { return *at_; }
  CountingReader& operator++() {
    position_->last = *at_;
    position_->line += *at_ == '\n' ? 1 : 0;
    ++at_;
    return *this;
  }
  CountingReader operator++(int) {
    CountingReader before = *this;
    ++*this;
    return before;
  }
  bool operator==(const CountingReader& other) const { return at_ == other.at_; }

 private:
  const char* at_;
  ReadPosition* position_;
};

// nlohmann's words for a fault without its code and position: the caller gives the line.
std::string problem_of(const Json::exception& error) {
  std::string problem = error.what();
  if (problem.rfind("[json.exception.", 0) == 0) {
    problem.erase(0, std::min(problem.size(), problem.find("] ") + 2));
  }
  if (problem.rfind("parse error", 0) == 0) {
    const std::size_t words = problem.find(": ");
    problem.erase(0, words == std::string::npos ? 0 : words + 2);
  }
  if (problem.size() > longest_problem) {
    std::size_t cut = longest_problem;
    while (cut > 0 && (static_cast<unsigned char>(problem[cut]) & 0xc0) == 0x80) {
      --cut;  // not inside a character of several bytes
    }
    problem.resize(cut);
    problem += "...";
  }
  return problem;
}

// Builds the value from the parser's events, as nlohmann's own reader would, with the line of
// every value, refusing keys given twice and nesting too deep.
class DocumentBuilder : public Json::json_sax_t {
 public:
  DocumentBuilder(Json& root, JsonDocument::ValueLines& root_lines, const ReadPosition& position,
                  std::string_view text)
      : root_(root), root_lines_(root_lines), position_(position), text_(text) {}

  bool null() override { return place(nullptr, position_.line); }
  bool boolean(bool value) override { return place(value, position_.line); }
  bool number_integer(number_integer_t value) override { return place(value, number_line()); }
  bool number_unsigned(number_unsigned_t value) override { return place(value, number_line()); }
  bool number_float(number_float_t value, const string_t&) override {
    return place(value, number_line());
  }
  bool string(string_t& value) override { return place(std::move(value), position_.line); }
  bool binary(binary_t&) override { return false; }  // a JSON text holds none

  bool start_object(std::size_t) override { return open(Json::object()); }
  bool key(string_t& name) override {
    Frame& frame = frames_.back();
    if (frame.value->contains(name)) {
      throw MalformedJson(position_.line, "the key \"" + name + "\" is given twice");
    }
    frame.key = std::move(name);
    return true;
  }
  bool end_object() override {
    frames_.pop_back();
    return true;
  }
  bool start_array(std::size_t) override { return open(Json::array()); }
  bool end_array() override {
    frames_.pop_back();
    return true;
  }

  bool parse_error(std::size_t byte, const std::string&, const Json::exception& error) override {
    // byte counts from 1 and is past the end for a text that ends too early.
    const std::size_t before = std::min(byte > 0 ? byte - 1 : 0, text_.size());
    const auto line_ends = std::count(text_.begin(), text_.begin() + before, '\n');
    throw MalformedJson(1 + static_cast<std::uint64_t>(line_ends), problem_of(error));
  }

 private:
  // An object or array being read.
  struct Frame {
    Json* value;
    JsonDocument::ValueLines* lines;
    std::string key;  // of the member being read, in an object
  };

  // The parser knows a number has ended only once it has read the character after it: when
  // that was a line end, the number began on the line before.
  std::uint64_t number_line() const { return position_.line - (position_.last == '\n' ? 1 : 0); }

  // Puts a value where the text has got to; the containers open around it stay where they are
  // (only the innermost one grows), so the frames' pointers hold.
  std::pair<Json*, JsonDocument::ValueLines*> put(Json value, std::uint64_t line) {
    if (frames_.empty()) {
      root_ = std::move(value);
      root_lines_.line = line;
      return {&root_, &root_lines_};
    }
    Frame& frame = frames_.back();
    frame.lines->inner.push_back({line, {}});
    if (frame.value->is_object()) {
      Json& member = (*frame.value)[frame.key];
      member = std::move(value);
      return {&member, &frame.lines->inner.back()};
    }
    frame.value->push_back(std::move(value));
    return {&frame.value->back(), &frame.lines->inner.back()};
  }

  bool place(Json value, std::uint64_t line) {
    put(std::move(value), line);
    return true;
  }

  bool open(Json empty) {
    if (frames_.size() == deepest_nesting) {
      throw MalformedJson(position_.line,
                          "values nest more than " + std::to_string(deepest_nesting) + " deep");
    }
    const auto [value, lines] = put(std::move(empty), position_.line);
    frames_.push_back({value, lines, {}});
    return true;
  }

  Json& root_;
  JsonDocument::ValueLines& root_lines_;
  const ReadPosition& position_;
  std::string_view text_;
  std::vector<Frame> frames_;
};

}  // namespace

JsonDocument::JsonDocument(std::string_view text) {
  ReadPosition position;
  DocumentBuilder builder(root_, lines_, position, text);
  const CountingReader first(text.data(), &position);
  const CountingReader last(text.data() + text.size(), &position);
  Json::sax_parse(first, last, &builder);
}

std::uint64_t JsonDocument::line_of(const Json::json_pointer& where) const {
  std::vector<std::string> steps;
  for (Json::json_pointer rest = where; !rest.empty(); rest = rest.parent_pointer()) {
    steps.push_back(rest.back());
  }
  const Json* value = &root_;
  const ValueLines* lines = &lines_;
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    std::size_t index = 0;
    if (value->is_object()) {
      const auto found = value->find(*step);
      if (found == value->end()) {
        break;
      }
      for (auto member = value->begin(); member != found; ++member) {
        ++index;
      }
      value = &found.value();
    } else {
      const auto [end, error] = std::from_chars(step->data(), step->data() + step->size(), index);
      if (!value->is_array() || error != std::errc() || end != step->data() + step->size() ||
          index >= value->size()) {
        break;
      }
      value = &(*value)[index];
    }
    lines = &lines->inner[index];
  }
  return lines->line;
}

}  // namespace parasim::report_tool
