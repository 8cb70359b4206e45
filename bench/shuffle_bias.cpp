// How far the model's random order is from a uniform one. Every mating attempt puts the whole
// population in a random order by n exchanges of two freely drawn positions, and takes its
// first candidates from the top of that order. This draws many such orders of n rows from the
// model's own generator and permutation and counts
//   - the share of positions that keep their own row (a uniform order keeps 1 in n), and
//   - the share of orders whose first entry is row 1, the first candidate of an attempt.
// Beside them it prints the share a uniform order gives, the chance worked out for n rows
// (1/n + (1 - 1/n)(1 - 2/n)^n: a row is left where it is by each exchange with chance
// 1 - 2/n, and one that moved is back with chance 1/n) and its limit e^-2.
//
//   parasim_shuffle_bias ROWS ORDERS [TICK_COUNT]      (tick count 1 when not given)
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "random/generator.hpp"
#include "random/seeding.hpp"
#include "random/shuffle.hpp"

namespace {

bool read_whole(std::string_view text, std::int64_t least, std::int64_t most, std::int64_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= least &&
         value <= most;
}

struct Measurement {
  double kept_share = 0.0;
  double kept_standard_error = 0.0;  // from the spread of the orders' shares
  double first_share = 0.0;
  double first_standard_error = 0.0;
};

Measurement measure(std::int32_t rows, std::int64_t orders, std::int32_t ticks) {
  parasim::random::Generator generator;
  parasim::random::init_random_seed(generator, ticks);
  std::vector<std::int32_t> order(static_cast<std::size_t>(rows));
  double kept_sum = 0.0;
  double kept_square_sum = 0.0;
  std::int64_t first = 0;
  for (std::int64_t drawn = 0; drawn < orders; ++drawn) {
    parasim::random::shuffle(order, rows, 0, generator);
    std::int64_t kept = 0;
    for (std::int32_t position = 0; position < rows; ++position) {
      kept += order[static_cast<std::size_t>(position)] == position + 1 ? 1 : 0;
    }
    const double share = static_cast<double>(kept) / rows;
    kept_sum += share;
    kept_square_sum += share * share;
    first += order[0] == 1 ? 1 : 0;
  }
  const auto count = static_cast<double>(orders);
  Measurement m;
  m.kept_share = kept_sum / count;
  const double kept_variance =
      orders > 1 ? (kept_square_sum - count * m.kept_share * m.kept_share) / (count - 1) : 0.0;
  m.kept_standard_error = std::sqrt(std::max(kept_variance, 0.0) / count);
  m.first_share = static_cast<double>(first) / count;
  m.first_standard_error = std::sqrt(m.first_share * (1.0 - m.first_share) / count);
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  std::int64_t rows = 0;
  std::int64_t orders = 0;
  std::int64_t ticks = 1;
  if (argc < 3 || argc > 4 || !read_whole(argv[1], 1, 100'000'000, rows) ||
      !read_whole(argv[2], 1, std::int64_t{1} << 40, orders) ||
      (argc == 4 && !read_whole(argv[3], 0, 2147483647, ticks))) {
    std::fprintf(stderr,
                 "usage: parasim_shuffle_bias ROWS ORDERS [TICK_COUNT]\n"
                 "  ROWS 1 ... 100000000, ORDERS at least 1, TICK_COUNT 0 ... 2147483647\n");
    return 2;
  }
  const auto n = static_cast<std::int32_t>(rows);
  const Measurement m = measure(n, orders, static_cast<std::int32_t>(ticks));
  const double uniform = 1.0 / static_cast<double>(n);
  const double chance = uniform + (1.0 - uniform) * std::pow(1.0 - 2.0 * uniform, n);
  std::printf("rows %d\norders %lld\ntick_count %lld\n", n, static_cast<long long>(orders),
              static_cast<long long>(ticks));
  std::printf("kept_share %.5f\nkept_standard_error %.5f\n", m.kept_share, m.kept_standard_error);
  std::printf("row_1_first_share %.5f\nrow_1_first_standard_error %.5f\n", m.first_share,
              m.first_standard_error);
  std::printf("uniform_share %.5f\nchance_for_these_rows %.5f\nlimit_share %.5f\n", uniform, chance,
              std::exp(-2.0));
  return 0;
}
