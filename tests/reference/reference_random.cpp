#include "reference/reference_random.hpp"

#include "reference/reference_text.hpp"

namespace parasim::reference {

namespace {

constexpr std::uint32_t kMask1 = 0xF95F9500u;
constexpr std::uint32_t kMask2 = 0x0F95F950u;
constexpr std::uint32_t kMask3 = 0x00F95F95u;
constexpr std::uint32_t kMask4 = 0x22222222u;

}  // namespace

void put_seed(Generator& generator, const std::array<std::int32_t, 4>& seed) {
  generator.x = static_cast<std::uint32_t>(seed[0]) ^ kMask1;
  generator.y = static_cast<std::uint32_t>(seed[1]) ^ kMask2;
  generator.z = static_cast<std::uint32_t>(seed[2]) ^ kMask3;
  generator.w = static_cast<std::uint32_t>(seed[3]) ^ kMask4;
}

void init_random_seed(Generator& generator, std::int32_t ticks) {
  const int n = 4;
  std::array<std::int32_t, 4> seed{};
  for (int i = 1; i <= n; ++i) {
    // Wrapping signed addition, done on the bit patterns.
    const std::uint32_t word =
        static_cast<std::uint32_t>(ticks) + 37u * static_cast<std::uint32_t>(i - 1);
    seed[static_cast<std::size_t>(i - 1)] = static_cast<std::int32_t>(word);
  }
  put_seed(generator, seed);
}

std::uint32_t next_output(Generator& generator) {
  std::uint32_t t = generator.x ^ (generator.x << 16);
  t = t ^ (t >> 5);
  t = t ^ (t << 1);
  t = t ^ generator.y ^ generator.z;
  generator.x = generator.y;
  generator.y = generator.z;
  generator.z = t;
  const std::uint32_t cut = generator.w * 16807u;  // low 32 bits of the product
  generator.w = cut % 2147483647u;
  return generator.z ^ generator.w;
}

double uniform_deviate(Generator& generator) {
  return static_cast<double>(next_output(generator)) / 4294967296.0;
}

void shuffle(Generator& generator, OneBased<std::int32_t>& vector, std::int32_t n,
             std::int32_t offset) {
  for (std::int32_t i = 1; i <= n; ++i) {
    vector(i) = offset + i;
  }
  for (std::int32_t exchange = 1; exchange <= n; ++exchange) {
    const double u = uniform_deviate(generator);
    const double v = uniform_deviate(generator);
    const std::int32_t j = int_of(static_cast<long double>(n) * u) + 1;
    const std::int32_t k = int_of(static_cast<long double>(n) * v) + 1;
    const std::int32_t held = vector(j);
    vector(j) = vector(k);
    vector(k) = held;
  }
}

}  // namespace parasim::reference
