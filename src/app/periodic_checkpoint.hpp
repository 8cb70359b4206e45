#pragma once

#include <cstdint>
#include <string>

#include "app/generation_loop.hpp"

namespace parasim::app {

// Writes the whole state of the run to a file every `every` generations (not after the last
// one), atomically, so that a crash leaves the previous checkpoint whole.
class PeriodicCheckpoint : public GenerationObserver {
 public:
  PeriodicCheckpoint(std::string path, std::int32_t every, std::int32_t tick_count)
      : path_(std::move(path)), every_(every), tick_count_(tick_count) {}

  void after_generation(const OpenedRun& run) override;

 private:
  std::string path_;
  std::int32_t every_;
  std::int32_t tick_count_;
};

}  // namespace parasim::app
