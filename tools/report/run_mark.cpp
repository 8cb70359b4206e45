#include "run_mark.hpp"

#include <algorithm>
#include <limits>

#include "input_file.hpp"
#include "report/history_layout.hpp"
#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

// A run record or a run.json is a few hundred bytes.
constexpr std::size_t largest_mark_file = std::size_t{1} << 20;

constexpr std::int64_t least_seed = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t most_seed = std::numeric_limits<std::int32_t>::max();

// The answers of an object of numbers by name; fails with the name of the first that is not a
// number.
template <typename Fail>
std::vector<JsonMember> numeric_members(const JsonValue& object, Fail fail) {
  for (const JsonMember& member : object.members) {
    if (!member.value.number()) {
      fail(member.value.line, "the answer \"" + member.key + "\" is not a finite number");
    }
  }
  return object.members;
}

// Why two sets of answers differ, from the first of `reference` that the other lacks or gives
// otherwise; empty when they are the same.
std::string answers_difference(const std::vector<JsonMember>& reference,
                               const std::vector<JsonMember>& other) {
  for (const JsonMember& answer : reference) {
    const auto other_answer =
        std::find_if(other.begin(), other.end(),
                     [&](const JsonMember& candidate) { return candidate.key == answer.key; });
    if (other_answer == other.end()) {
      return "it has no answer " + answer.key;
    }
    if (*other_answer->value.number() != *answer.value.number()) {
      return "its " + answer.key + " is " + other_answer->value.text + ", the history's " +
             answer.value.text;
    }
  }
  if (other.size() != reference.size()) {
    for (const JsonMember& answer : other) {
      const auto in_reference =
          std::find_if(reference.begin(), reference.end(),
                       [&](const JsonMember& candidate) { return candidate.key == answer.key; });
      if (in_reference == reference.end()) {
        return "it has an answer " + answer.key + ", which the history has not";
      }
    }
  }
  return {};
}

RunMark record_mark(const std::filesystem::path& record) {
  const std::string name = record.string();
  const auto refuse = [&name](const std::string& why) {
    throw RecordRefused("the run record " + name + " is not one: " + why);
  };
  JsonValue root;
  try {
    root = parse_json(read_small_file(name, largest_mark_file));
  } catch (const MalformedJson& error) {
    refuse("line " + std::to_string(error.line()) + ": " + error.what());
  }
  if (root.kind != JsonValue::Kind::object) {
    refuse("it is not a JSON object");
  }
  const JsonValue* seed = root.member("tick_count");
  const JsonValue* answers = root.member("parameters");
  if (seed == nullptr || answers == nullptr) {
    refuse("it has no \"tick_count\" and \"parameters\"");
  }
  if (seed->kind == JsonValue::Kind::null || answers->kind == JsonValue::Kind::null) {
    refuse("its run failed before it had answers and a seed, so it wrote no history");
  }
  RunMark mark;
  const std::optional<std::int64_t> seed_value = seed->whole_number();
  if (!seed_value || *seed_value < least_seed || *seed_value > most_seed) {
    refuse("its \"tick_count\" is not a seed");
  }
  mark.seed = *seed_value;
  if (answers->kind != JsonValue::Kind::object) {
    refuse("its \"parameters\" are not an object");
  }
  mark.answers =
      numeric_members(*answers, [&refuse](std::uint64_t, const std::string& why) { refuse(why); });
  return mark;
}

}  // namespace

RunMark run_mark_from_text(std::string_view text, const std::string& file_name) {
  const auto fail = [&file_name](std::uint64_t line, const std::string& problem) {
    throw MalformedHistory(file_name, line, problem);
  };
  JsonValue root;
  try {
    root = parse_json(text);
  } catch (const MalformedJson& error) {
    fail(error.line(), error.what());
  }
  if (root.kind != JsonValue::Kind::object) {
    fail(root.line, "the mark of the run is a JSON object");
  }
  const JsonValue* program = root.member("program");
  if (program == nullptr || program->kind != JsonValue::Kind::string ||
      program->text != "parasim") {
    fail(program != nullptr ? program->line : root.line,
         "the mark of the run gives \"program\": \"parasim\"");
  }
  const JsonValue* seed = root.member("seed");
  const std::optional<std::int64_t> seed_value =
      seed != nullptr ? seed->whole_number() : std::nullopt;
  if (!seed_value || *seed_value < least_seed || *seed_value > most_seed) {
    fail(seed != nullptr ? seed->line : root.line,
         "the mark of the run gives the \"seed\", a whole number from " +
             std::to_string(least_seed) + " to " + std::to_string(most_seed));
  }
  const JsonValue* answers = root.member("answers");
  if (answers == nullptr || answers->kind != JsonValue::Kind::object) {
    fail(answers != nullptr ? answers->line : root.line,
         "the mark of the run gives the \"answers\" as an object");
  }
  RunMark mark;
  mark.seed = *seed_value;
  mark.answers = numeric_members(*answers, fail);
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
