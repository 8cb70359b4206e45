#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string_view>

namespace parasim::textio {

enum class ReadFailure { end_of_file, bad_integer, integer_overflow, bad_real };

// The run-time message for a failed read of item 1, e.g. "Bad integer for item 1 in list input".
std::string_view read_failure_message(ReadFailure failure);

template <typename T>
struct ReadResult {
  std::optional<T> value;
  ReadFailure failure = ReadFailure::end_of_file;  // meaningful only without a value
};

// Reads one value per call from a byte stream, the way the parameter dialogue
// takes its answers: blanks, tabs, CRs and line ends are skipped; the item ends at
// a blank, tab, CR, line end, "," or "/"; the rest of the line is then discarded.
// Input of any length is read in pieces and never held whole.
class ConsoleReader {
 public:
  explicit ConsoleReader(std::istream& input) : input_(input) {}

  ReadResult<std::int32_t> read_integer();
  ReadResult<double> read_real();

 private:
  std::istream& input_;
};

}  // namespace parasim::textio
