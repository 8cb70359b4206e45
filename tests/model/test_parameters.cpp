#include "model/parameters.hpp"

#include <gtest/gtest.h>

namespace parasim::model {
namespace {

Parameters with(std::int32_t genome_size, double max_differentiation) {
  Parameters p;
  p.genome_size = genome_size;
  p.max_differentiation = max_differentiation;
  p.host_count = 5;
  p.carrying_capacity = 20;
  p.host_distance = 2.0;
  p.survival_sd = 0.5;
  return p;
}

TEST(DerivedValues, MateThresholdTruncatesTheExactProduct) {
  EXPECT_EQ(derive_values(with(10, 0.7)).mate_threshold, 7);  // 6.99999999999999956 -> 6
  EXPECT_EQ(derive_values(with(10, 0.0)).mate_threshold, 1);
  EXPECT_EQ(derive_values(with(100, 0.25)).mate_threshold, 26);
  EXPECT_EQ(derive_values(with(0, 0.5)).mate_threshold, 1);
  EXPECT_EQ(derive_values(with(10, -0.25)).mate_threshold, -1);  // INT(-2.5) = -2
  EXPECT_EQ(derive_values(with(2000000000, 1e300)).mate_threshold, 2147483647);
}

TEST(DerivedValues, WidthsAndProducts) {
  const DerivedValues d = derive_values(with(0, 0.5));
  EXPECT_EQ(d.record_width, 3);
  EXPECT_EQ(d.max_population, 100);
  EXPECT_DOUBLE_EQ(d.host_spacing, 1.0);

  Parameters large = with(10, 0.5);
  large.host_count = 2000000000;
  large.carrying_capacity = 2000000000;
  EXPECT_EQ(derive_values(large).max_population, 4000000000000000000);
}

TEST(DerivedValues, HostSpacingIsRoundedFromTheExtendedProduct) {
  Parameters p = with(10, 0.5);
  p.host_distance = 0.011;
  p.survival_sd = 0.945;
  // The exact product lies so close to a midpoint between two doubles that rounding it
  // first to a 64-bit significand, then to a double, ends one step below the plain double
  // product (0.010395).
  EXPECT_EQ(derive_values(p).host_spacing, 0.010394999999999998);
  EXPECT_NE(derive_values(p).host_spacing, 0.011 * 0.945);
}

TEST(ParameterRefusal, RefusesWorldsThatCannotExist) {
  EXPECT_FALSE(parameter_refusal(with(10, 0.5)));
  EXPECT_FALSE(parameter_refusal(with(0, 0.5)));
  Parameters no_hosts = with(10, 0.5);
  no_hosts.host_count = 0;
  EXPECT_TRUE(parameter_refusal(no_hosts));
  Parameters negative_genome = with(-1, 0.5);
  EXPECT_TRUE(parameter_refusal(negative_genome));
  Parameters no_capacity = with(10, 0.5);
  no_capacity.carrying_capacity = 0;
  EXPECT_TRUE(parameter_refusal(no_capacity));
}

}  // namespace
}  // namespace parasim::model
