#pragma once

#include <cstdint>
#include <istream>
#include <optional>

namespace parasim::textio {

enum class ReadFailure { end_of_file, bad_integer, integer_overflow, bad_real };

template <typename T>
struct ReadResult {
  std::optional<T> value;
  ReadFailure failure = ReadFailure::end_of_file;  // meaningful only without a value
};

// Reads one value per call from a byte stream, the way the parameter dialogue
// takes its answers: blanks, tabs, CRs and line ends are skipped; the item ends at
// a blank, tab, CR, line end, "," or "/"; the rest of the line is then discarded.
// Input of any length is read in pieces and never held whole.
//
// Integer: [+-]?[0-9]+ over the whole item, else bad_integer; a magnitude above
// 2147483647 is integer_overflow (so -2147483648 is too).
// Real: [+-]? digits with at most one ".", at least one digit, then optionally
// [EeDd][+-]?[0-9]+ or [+-][0-9]+ ("1.5-3" is 0.0015), else bad_real; the
// nearest double, ties to even; too large for a double is bad_real, too small
// gives 0 or a subnormal with the item's sign.
// Cases the list-input rules leave open, decided here: an empty item (the first
// non-blank is "," or "/"), a repeat count ("2*9"), words such as Inf or NaN, a lone "."
// or sign are syntax errors of the type being read; NUL and other bytes are
// ordinary characters that break the syntax.
// The reader works on input.rdbuf() alone (a null buffer reads as end_of_file)
// and leaves the stream's state flags as they are.
class ConsoleReader {
 public:
  explicit ConsoleReader(std::istream& input) : input_(input) {}

  ReadResult<std::int32_t> read_integer();
  ReadResult<double> read_real();

 private:
  std::istream& input_;
};

}  // namespace parasim::textio
