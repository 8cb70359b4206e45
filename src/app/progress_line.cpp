#include "app/progress_line.hpp"

#include <algorithm>
#include <cstdio>

namespace parasim::app {

namespace {

void format_duration(char* out, std::size_t size, double seconds) {
  const auto whole = static_cast<long long>(seconds);
  std::snprintf(out, size, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
}

}  // namespace

ProgressLine::ProgressLine(std::int32_t total_generations)
    : total_(std::max(total_generations, 0)),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

ProgressLine::~ProgressLine() {
  if (shown_) {
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
  }
}

void ProgressLine::after_generation(const model::Simulation& simulation) {
  const std::int32_t generations_done = simulation.generations_run();
  const auto population = static_cast<long long>(simulation.population().size());
  const std::int32_t species = simulation.species_count();
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && now - last_draw_ < std::chrono::milliseconds(250)) {
    return;
  }
  last_draw_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  char elapsed_text[32];
  char left_text[32] = "?";
  format_duration(elapsed_text, sizeof elapsed_text, elapsed);
  if (generations_done > 0) {
    const double left = elapsed / generations_done * (total_ - generations_done);
    format_duration(left_text, sizeof left_text, left);
  }
  std::fprintf(stderr,
               "\rgeneration %d/%d  population %lld  species %d  elapsed %s  left %s\x1b[K",
               generations_done, total_, population, species,
               elapsed_text, left_text);
  std::fflush(stderr);
  shown_ = true;
}

}  // namespace parasim::app
