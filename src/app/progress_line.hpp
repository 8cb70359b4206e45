#pragma once

#include <chrono>
#include <cstdint>

namespace parasim::app {

// A live progress line on standard error: generation / total, population, species,
// elapsed time and an estimate of the time left. Redrawn at most four times a
// second and cleared when the run ends; standard output is never touched.
class ProgressLine {
 public:
  ProgressLine(bool enabled, std::int32_t total_generations);
  ~ProgressLine();

  void update(std::int32_t generations_done, std::int64_t population, std::int32_t species);
  void clear();

 private:
  bool enabled_;
  bool shown_ = false;
  std::int32_t total_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
};

}  // namespace parasim::app
