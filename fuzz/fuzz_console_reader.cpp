// libFuzzer target: ConsoleReader on arbitrary bytes.
//
// Input: byte 0 chooses integer (bit set) or real reads, cycling over its 8 bits;
// byte 1 chooses the size of the pieces in which the stream hands out its bytes
// (1 ... 64, so item boundaries meet refills everywhere); the rest is standard input.
//
// Checked for every read, besides "no crash":
// - it gives a value or one of the failures of its type;
// - a value's decimal text (%d, or %.17g for reals) reads back to the same value
//   (bit for bit, so -0.0 stays -0.0);
// - the value or failure agrees with an independent parse of the item;
// - a read that does not fail with end_of_file consumes whole lines: it stops
//   after a line end or at the end of the input; end_of_file only when nothing
//   but blanks, tabs, CRs and line ends was left, and then all of it is consumed.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <streambuf>
#include <string>

#include "textio/console_reader.hpp"

// The harness's own helpers carry no coverage instrumentation: only the
// library's branches should steer the fuzzer, and the per-byte comparisons of
// the oracles would otherwise dominate the run time.
#define PARASIM_FUZZ_HELPER __attribute__((no_sanitize("coverage")))

namespace {

using parasim::textio::ConsoleReader;
using parasim::textio::ReadFailure;
using parasim::textio::ReadResult;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

// Hands out the bytes of a buffer in pieces of a fixed size.
class PiecewiseInput : public std::streambuf {
 public:
  // piece: 1 ... 64 bytes.
  PiecewiseInput(const char* data, std::size_t size, std::size_t piece)
      : data_(data), size_(size), piece_(piece) {}

  PARASIM_FUZZ_HELPER std::size_t position() const { return next_ - static_cast<std::size_t>(egptr() - gptr()); }

 protected:
  PARASIM_FUZZ_HELPER int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (next_ >= size_) return traits_type::eof();
    const std::size_t n = size_ - next_ < piece_ ? size_ - next_ : piece_;
    std::memcpy(chunk_, data_ + next_, n);
    next_ += n;
    setg(chunk_, chunk_, chunk_ + n);
    return traits_type::to_int_type(*gptr());
  }

 private:
  const char* data_;
  std::size_t size_;
  std::size_t piece_;
  std::size_t next_ = 0;
  char chunk_[64];
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool ends_item(char c) { return is_blank(c) || c == ',' || c == '/'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The item that starts after the blanks at `from`.
PARASIM_FUZZ_HELPER std::string item_at(const char* data, std::size_t size, std::size_t from) {
  std::size_t i = from;
  while (i < size && is_blank(data[i])) ++i;
  std::size_t end = i;
  while (end < size && !ends_item(data[end])) ++end;
  return std::string(data + i, end - i);
}

// Independent integer parse: [+-]?[0-9]+, magnitude at most 2^31 - 1.
PARASIM_FUZZ_HELPER ReadResult<std::int32_t> expected_integer(const std::string& item) {
  ReadResult<std::int32_t> result;
  std::size_t i = 0;
  const bool negative = !item.empty() && item[0] == '-';
  if (!item.empty() && (item[0] == '+' || item[0] == '-')) i = 1;
  if (i == item.size()) {
    result.failure = ReadFailure::bad_integer;
    return result;
  }
  for (std::size_t k = i; k < item.size(); ++k) {
    if (!is_digit(item[k])) {
      result.failure = ReadFailure::bad_integer;
      return result;
    }
  }
  while (i + 1 < item.size() && item[i] == '0') ++i;
  if (item.size() - i > 10 || std::strtoll(item.c_str() + i, nullptr, 10) > 2147483647) {
    result.failure = ReadFailure::integer_overflow;
    return result;
  }
  const auto magnitude = static_cast<std::int32_t>(std::strtoll(item.c_str() + i, nullptr, 10));
  result.value = negative ? -magnitude : magnitude;
  return result;
}

// Independent real parse: the item rewritten as C syntax and given to strtod.
PARASIM_FUZZ_HELPER ReadResult<double> expected_real(const std::string& item) {
  ReadResult<double> result;
  result.failure = ReadFailure::bad_real;
  std::size_t i = 0;
  std::string c_text;
  if (i < item.size() && (item[i] == '+' || item[i] == '-')) c_text += item[i++];
  int digits = 0;
  int points = 0;
  while (i < item.size() && (is_digit(item[i]) || item[i] == '.')) {
    if (item[i] == '.') {
      ++points;
    } else {
      ++digits;
    }
    c_text += item[i++];
  }
  if (digits == 0 || points > 1) return result;
  if (i < item.size()) {
    c_text += 'e';
    if (item[i] == 'e' || item[i] == 'E' || item[i] == 'd' || item[i] == 'D') ++i;
    if (i < item.size() && (item[i] == '+' || item[i] == '-')) c_text += item[i++];
    if (i == item.size()) return result;
    while (i < item.size()) {
      if (!is_digit(item[i])) return result;
      c_text += item[i++];
    }
  }
  // Keep the exponent small enough that any strtod treats it exactly: it is
  // clamped far outside the range in which it could matter for <= 4096 digits.
  const std::size_t e = c_text.find('e');
  if (e != std::string::npos) {
    std::size_t k = e + 1;
    if (k < c_text.size() && (c_text[k] == '+' || c_text[k] == '-')) ++k;
    while (k + 1 < c_text.size() && c_text[k] == '0') c_text.erase(k, 1);
    if (c_text.size() - k > 6) c_text.replace(k, std::string::npos, "999999");
  }
  const double value = std::strtod(c_text.c_str(), nullptr);
  if (std::isinf(value)) return result;
  result.value = value;
  return result;
}

bool same_double(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

template <typename T>
bool same_result(const ReadResult<T>& a, const ReadResult<T>& b) {
  if (a.value.has_value() != b.value.has_value()) return false;
  if (!a.value) return a.failure == b.failure;
  if constexpr (std::is_same_v<T, double>) {
    return same_double(*a.value, *b.value);
  } else {
    return *a.value == *b.value;
  }
}

// Reads one value of the text through a second reader. The stream is made once:
// constructing a std::istream (and its locale) per read would dominate the run.
template <typename T>
ReadResult<T> read_text(const char* text) {
  static std::istream stream(nullptr);
  static ConsoleReader reader(stream);
  PiecewiseInput input(text, std::strlen(text), 7);
  stream.rdbuf(&input);
  ReadResult<T> result;
  if constexpr (std::is_same_v<T, double>) {
    result = reader.read_real();
  } else {
    result = reader.read_integer();
  }
  stream.rdbuf(nullptr);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size < 2) return 0;
  const unsigned kinds = bytes[0];
  const std::size_t piece = static_cast<std::size_t>(bytes[1] % 64) + 1;
  const char* data = reinterpret_cast<const char*>(bytes) + 2;
  size -= 2;

  PiecewiseInput input(data, size, piece);
  static std::istream stream(nullptr);
  static ConsoleReader reader(stream);
  stream.rdbuf(&input);

  for (unsigned turn = 0;; ++turn) {
    const std::size_t before = input.position();
    const std::string item = item_at(data, size, before);
    const bool integer_read = ((kinds >> (turn % 8)) & 1) != 0;
    bool end_of_file = false;
    if (integer_read) {
      const ReadResult<std::int32_t> result = reader.read_integer();
      if (result.value) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", *result.value);
        const ReadResult<std::int32_t> again = read_text<std::int32_t>(text);
        if (!again.value || *again.value != *result.value) fail("integer does not read back");
      } else if (result.failure == ReadFailure::end_of_file) {
        end_of_file = true;
      } else if (result.failure != ReadFailure::bad_integer &&
                 result.failure != ReadFailure::integer_overflow) {
        fail("integer read gave a failure of the other type");
      }
      if (!end_of_file && !same_result(result, expected_integer(item))) {
        fail("integer read disagrees with the independent parse");
      }
    } else {
      const ReadResult<double> result = reader.read_real();
      if (result.value) {
        if (!std::isfinite(*result.value)) fail("real read gave a non-finite value");
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", *result.value);
        const ReadResult<double> again = read_text<double>(text);
        if (!again.value || !same_double(*again.value, *result.value)) fail("real does not read back");
      } else if (result.failure == ReadFailure::end_of_file) {
        end_of_file = true;
      } else if (result.failure != ReadFailure::bad_real) {
        fail("real read gave a failure of the other type");
      }
      if (!end_of_file && !same_result(result, expected_real(item))) {
        fail("real read disagrees with the independent parse");
      }
    }
    const std::size_t after = input.position();
    if (end_of_file) {
      for (std::size_t i = before; i < size; ++i) {
        if (!is_blank(data[i])) fail("end_of_file with an item left");
      }
      if (after != size) fail("end_of_file did not consume the blanks");
      break;
    }
    if (after <= before) fail("a read consumed nothing");
    if (after != size && data[after - 1] != '\n') fail("a read stopped inside a line");
  }
  stream.rdbuf(nullptr);
  return 0;
}
