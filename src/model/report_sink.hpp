#pragma once

#include <cstdint>

#include "model/host_table.hpp"
#include "model/population.hpp"

namespace parasim::model {

// Receives the population of every reported generation (generation 1 and every
// tenth), after its species have been labelled and before it reproduces.
class ReportSink {
 public:
  virtual ~ReportSink() = default;
  virtual void report(std::int32_t generation, const Population& population,
                      const HostTable& hosts) = 0;
};

}  // namespace parasim::model
