#pragma once

#include <cmath>
#include <cstdint>

#include "record_fields.hpp"

namespace parasim::report_tool {

// Count, mean and standard deviation of a set of phenotypes, gathered one value at a time.
//
// The standard deviation is the population one, with divisor n: a report lists every living
// parasite, so the parasites of a generation are the whole population, not a sample of it.
// A single parasite has standard deviation 0.
class PhenotypeMoments {
 public:
  void add(TenThousandths phenotype) {
    // Sums of differences from the first value: exact whole numbers of ten-thousandths, kept
    // small, so the variance does not lose its digits to the size of the phenotypes.
    if (count_ == 0) {
      origin_ = phenotype;
    }
    const double offset = static_cast<double>(phenotype - origin_);
    sum_ += offset;
    sum_of_squares_ += offset * offset;
    ++count_;
  }

  std::uint64_t count() const { return count_; }

  // In phenotype units; 0 when nothing was added.
  double mean() const {
    if (count_ == 0) {
      return 0.0;
    }
    return (static_cast<double>(origin_) + sum_ / static_cast<double>(count_)) / unit;
  }

  double standard_deviation() const {
    if (count_ == 0) {
      return 0.0;
    }
    const double n = static_cast<double>(count_);
    const double mean_offset = sum_ / n;
    const double variance = sum_of_squares_ / n - mean_offset * mean_offset;
    return variance > 0.0 ? std::sqrt(variance) / unit : 0.0;
  }

 private:
  static constexpr double unit = static_cast<double>(ten_thousandths_per_unit);

  std::uint64_t count_ = 0;
  TenThousandths origin_ = 0;
  double sum_ = 0.0;
  double sum_of_squares_ = 0.0;
};

}  // namespace parasim::report_tool
