#pragma once

#include <chrono>
#include <cstdint>

#include "model/generation_driver.hpp"

namespace parasim::app {

// A live progress line on standard error: generation / total, population, species,
// elapsed time and an estimate of the time left. Redrawn at most four times a
// second and cleared when the line is destroyed, at the end of the run or when it fails;
// standard output is never touched.
class ProgressLine : public model::GenerationObserver {
 public:
  explicit ProgressLine(std::int32_t total_generations);
  ~ProgressLine() override;
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void after_generation(const model::Simulation& simulation) override;

 private:
  bool shown_ = false;
  std::int32_t total_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
};

}  // namespace parasim::app
