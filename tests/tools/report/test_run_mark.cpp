#include "run_mark.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <string>
#include <vector>

#include "folder_test.hpp"
#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

namespace fs = std::filesystem;

const fs::path data = PARASIM_REPORT_TEST_DATA;
// The record of the run that wrote five_species_history, and the history's mark of that run.
const fs::path record = data / "five_species_record.json";
const fs::path mark = data / "five_species_run.json";

// The fixture's text with the first `from` replaced by `to`.
std::string changed(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

// A history folder with the mark of the run whose record is `record`.
class RunMarkCheck : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    history_ = folder_ / "marked";
    fs::create_directories(history_);
    fs::copy_file(mark, history_ / "run.json");
  }
  fs::path history_;
};

TEST_F(RunMarkCheck, TheRecordOfTheRunThatWroteTheHistoryIsTaken) {
  EXPECT_NO_THROW(check_record_of_history(record, history_));
  const std::optional<RunMark> mark = read_history_mark(history_);
  ASSERT_TRUE(mark.has_value());
  EXPECT_EQ(mark->seed, 4242);
  ASSERT_EQ(mark->answers.size(), 10u);
  EXPECT_EQ(mark->answers[1].name, "max_differentiation");
  EXPECT_EQ(mark->answers[1].value, 0.1);
  // A history written before histories carried a mark is read without one.
  fs::create_directories(folder_ / "old");
  EXPECT_FALSE(read_history_mark(folder_ / "old").has_value());
  EXPECT_NO_THROW(check_record_of_history(record, folder_ / "old"));
}

// Another run's record, or a file that is no record, is refused with both files named.
TEST_F(RunMarkCheck, ARecordOfAnotherRunOrNoRecordIsRefused) {
  const std::string text = read_file(record);
  const struct {
    std::string record_text;
    std::string words;
  } cases[] = {
      {changed(text, "\"tick_count\": 4242", "\"tick_count\": 7"),
       "is of another run than the history " + (history_ / "run.json").string() +
           ": its seed (tick_count) is 7, the history's 4242"},
      {changed(text, "\"host_count\": 3", "\"host_count\": 4"),
       "its host_count is 4, the history's 3"},
      {changed(text, "\"survival_sd\": 0.5", "\"survival_sd\": 0.50000000000000011"),
       "its survival_sd is 0.5000000000000001, the history's 0.5"},
      {changed(text, "\"host_count\": 3", "\"hosts\": 3"), "it has no answer host_count"},
      {changed(text, "\"host_count\": 3", "\"host_count\": 3, \"extra\": 1"),
       "it has an answer extra, which the history has not"},
      {changed(text, "\"tick_count\": 4242", "\"tick_count\": null"),
       "its run failed before it had answers and a seed"},
      {changed(text, "\"tick_count\": 4242", "\"tick_count\": 4242.5"),
       "its \"tick_count\" is not a seed"},
      {changed(text, "\"host_count\": 3", "\"host_count\": \"3\""),
       "the answer \"host_count\" is not a finite number"},
      {changed(text, "\"parameters\": {", "\"settings\": {"),
       "no \"tick_count\" and \"parameters\""},
      {"[1, 2]", "it is not a JSON object"},
      {text.substr(0, 200), "is not one: line "},
  };
  const fs::path other = folder_ / "record.json";
  for (const auto& refused : cases) {
    write_file(other, refused.record_text);
    try {
      check_record_of_history(other, history_);
      ADD_FAILURE() << "taken: " << refused.words;
    } catch (const RecordRefused& error) {
      const std::string message = error.what();
      EXPECT_EQ(message.rfind("the run record " + other.string(), 0), 0u) << message;
      EXPECT_NE(message.find(refused.words), std::string::npos) << message;
    }
  }
}

// A damaged run.json is a damaged history: refused at its line.
TEST_F(RunMarkCheck, ADamagedMarkIsAMalformedHistoryAtItsLine) {
  const std::string text = read_file(mark);
  const struct {
    std::string mark_text;
    std::uint64_t line;
    std::string words;
  } cases[] = {
      {changed(text, "\"parasim\"", "\"other\""), 2, "gives \"program\": \"parasim\""},
      {changed(text, "\"seed\": 4242", "\"seed\": 3000000000"), 3, "the \"seed\", a whole number"},
      {changed(text, "\"seed\": 4242", "\"seed\": \"4242\""), 3, "the \"seed\", a whole number"},
      {changed(text, "\"seed\"", "\"Seed\""), 1, "the \"seed\", a whole number"},
      {changed(text, "\"answers\": {", "\"answers\": 5, \"old\": {"), 4,
       "the \"answers\" as an object"},
      {changed(text, "\"host_count\": 3", "\"host_count\": true"), 10,
       "the answer \"host_count\" is not a finite number"},
      {changed(text, "\"host_count\": 3,", "\"host_count\": 3"), 11, "expected '}'"},
      {changed(text, "\"host_count\": 3,", "\"host_count\": 3, \"host_count\": 4,"), 10,
       "the key \"host_count\" is given twice"},
      {changed(text, "\"generations\": 12", "\"generations\": \"12\""), 14,
       "the answer \"generations\" is not a finite number"},
      {"\"parasim\"\n", 1, "the mark of the run is a JSON object"},
  };
  for (const auto& damaged : cases) {
    try {
      run_mark_from_text(damaged.mark_text, "h/run.json");
      ADD_FAILURE() << "taken: " << damaged.words;
    } catch (const MalformedHistory& error) {
      EXPECT_EQ(error.file(), "h/run.json");
      EXPECT_EQ(error.line(), damaged.line) << error.what();
      EXPECT_NE(std::string(error.what()).find(damaged.words), std::string::npos) << error.what();
    }
  }
}

// A run.json that is no file is not waited on or read without end.
TEST_F(RunMarkCheck, AMarkThatIsNoFileIsAnInputError) {
  struct Kind {
    const char* what;
    void (*make)(const fs::path&);
    const char* words;
  };
  const Kind kinds[] = {
      {"a fifo", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0666), 0); },
       "it is not a regular file"},
      {"a device",
       [](const fs::path& at) {
         ASSERT_EQ(::mknod(at.c_str(), S_IFCHR | 0666, ::makedev(1, 5)), 0);  // like /dev/zero
       },
       "it is not a regular file"},
      {"a folder", [](const fs::path& at) { fs::create_directories(at); },
       "it is not a regular file"},
      {"a dangling link", [](const fs::path& at) { fs::create_symlink("absent.json", at); },
       "cannot open"},
      {"too large", [](const fs::path& at) { write_file(at, std::string(2 << 20, ' ')); },
       "it is larger than 1048576 bytes"},
  };
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.what);
    const fs::path folder = folder_ / "history";
    fs::remove_all(folder);
    fs::create_directories(folder);
    kind.make(folder / "run.json");
    try {
      check_record_of_history(record, folder);
      ADD_FAILURE() << "taken";
    } catch (const ReportIoError& error) {
      EXPECT_NE(std::string(error.what()).find(kind.words), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace parasim::report_tool
