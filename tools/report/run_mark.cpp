#include "run_mark.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

#include "input_file.hpp"
#include "json_document.hpp"
#include "report/history_layout.hpp"
#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

// A run record or a run.json is a few hundred bytes.
constexpr std::size_t largest_mark_file = std::size_t{1} << 20;

constexpr std::int64_t least_seed = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t most_seed = std::numeric_limits<std::int32_t>::max();

// A number written as a whole number that fits an int64; nothing otherwise.
std::optional<std::int64_t> whole_number(const Json& value) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    return number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? std::optional<std::int64_t>(static_cast<std::int64_t>(number))
               : std::nullopt;
  }
  if (value.is_number_integer()) {
    return value.get<std::int64_t>();
  }
  return std::nullopt;
}

std::optional<std::int64_t> seed_of(const Json& value) {
  const std::optional<std::int64_t> seed = whole_number(value);
  if (!seed || *seed < least_seed || *seed > most_seed) {
    return std::nullopt;
  }
  return seed;
}

// The answers of the object at `where`, numbers by name; fails with the line and name of the
// first that is not a number.
template <typename Fail>
std::vector<RunAnswer> numeric_members(const JsonDocument& document,
                                       const Json::json_pointer& where, Fail fail) {
  std::vector<RunAnswer> answers;
  for (const auto& member : document.root().at(where).items()) {
    if (!member.value().is_number()) {
      fail(document.line_of(where / member.key()),
           "the answer \"" + member.key() + "\" is not a finite number");
    }
    answers.push_back({member.key(), member.value().get<double>()});
  }
  return answers;
}

// An answer as a message shows it: the shortest text that reads back as the same number.
std::string shown(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Why two sets of answers differ, from the first of `reference` that the other lacks or gives
// otherwise; empty when they are the same.
std::string answers_difference(const std::vector<RunAnswer>& reference,
                               const std::vector<RunAnswer>& other) {
  const auto named = [](const std::vector<RunAnswer>& answers, const std::string& name) {
    return std::find_if(answers.begin(), answers.end(),
                        [&name](const RunAnswer& candidate) { return candidate.name == name; });
  };
  for (const RunAnswer& answer : reference) {
    const auto other_answer = named(other, answer.name);
    if (other_answer == other.end()) {
      return "it has no answer " + answer.name;
    }
    if (other_answer->value != answer.value) {
      return "its " + answer.name + " is " + shown(other_answer->value) + ", the history's " +
             shown(answer.value);
    }
  }
  for (const RunAnswer& answer : other) {
    if (named(reference, answer.name) == reference.end()) {
      return "it has an answer " + answer.name + ", which the history has not";
    }
  }
  return {};
}

RunMark record_mark(const std::filesystem::path& record) {
  const std::string name = record.string();
  const auto refuse = [&name](const std::string& why) {
    throw RecordRefused("the run record " + name + " is not one: " + why);
  };
  std::optional<JsonDocument> document;
  try {
    document.emplace(read_small_file(name, largest_mark_file));
  } catch (const MalformedJson& error) {
    refuse("line " + std::to_string(error.line()) + ": " + error.what());
  }
  const Json& root = document->root();
  if (!root.is_object()) {
    refuse("it is not a JSON object");
  }
  if (!root.contains("tick_count") || !root.contains("parameters")) {
    refuse("it has no \"tick_count\" and \"parameters\"");
  }
  const Json& seed = root["tick_count"];
  const Json& answers = root["parameters"];
  if (seed.is_null() || answers.is_null()) {
    refuse("its run failed before it had answers and a seed, so it wrote no history");
  }
  const std::optional<std::int64_t> seed_value = seed_of(seed);
  if (!seed_value) {
    refuse("its \"tick_count\" is not a seed");
  }
  if (!answers.is_object()) {
    refuse("its \"parameters\" are not an object");
  }
  RunMark mark;
  mark.seed = *seed_value;
  mark.answers = numeric_members(*document, Json::json_pointer("/parameters"),
                                 [&refuse](std::uint64_t, const std::string& why) { refuse(why); });
  return mark;
}

}  // namespace

RunMark run_mark_from_text(std::string_view text, const std::string& file_name) {
  const auto fail = [&file_name](std::uint64_t line, const std::string& problem) {
    throw MalformedHistory(file_name, line, problem);
  };
  std::optional<JsonDocument> document;
  try {
    document.emplace(text);
  } catch (const MalformedJson& error) {
    fail(error.line(), error.what());
  }
  const Json& root = document->root();
  const auto line_of = [&document](const char* where) {
    return document->line_of(Json::json_pointer(where));
  };
  if (!root.is_object()) {
    fail(line_of(""), "the mark of the run is a JSON object");
  }
  if (!root.contains("program") || root["program"] != "parasim") {
    fail(line_of("/program"), "the mark of the run gives \"program\": \"parasim\"");
  }
  const std::optional<std::int64_t> seed =
      root.contains("seed") ? seed_of(root["seed"]) : std::nullopt;
  if (!seed) {
    fail(line_of("/seed"), "the mark of the run gives the \"seed\", a whole number from " +
                               std::to_string(least_seed) + " to " + std::to_string(most_seed));
  }
  if (!root.contains("answers") || !root["answers"].is_object()) {
    fail(line_of("/answers"), "the mark of the run gives the \"answers\" as an object");
  }
  RunMark mark;
  mark.seed = *seed;
  mark.answers = numeric_members(*document, Json::json_pointer("/answers"), fail);
  return mark;
}

std::optional<RunMark> read_history_mark(const std::filesystem::path& folder) {
  const std::filesystem::path path = folder / report::history_run_file;
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
    return std::nullopt;
  }
  return run_mark_from_text(read_small_file(path.string(), largest_mark_file), path.string());
}

void check_record_of_history(const std::filesystem::path& record,
                             const std::filesystem::path& history_folder) {
  const std::optional<RunMark> history = read_history_mark(history_folder);
  if (!history) {
    return;
  }
  const RunMark of_record = record_mark(record);
  std::string difference;
  if (of_record.seed != history->seed) {
    difference = "its seed (tick_count) is " + std::to_string(of_record.seed) + ", the history's " +
                 std::to_string(history->seed);
  } else {
    difference = answers_difference(history->answers, of_record.answers);
  }
  if (!difference.empty()) {
    throw RecordRefused("the run record " + record.string() +
                        " is of another run than the history " +
                        (history_folder / report::history_run_file).string() + ": " + difference);
  }
}

}  // namespace parasim::report_tool
