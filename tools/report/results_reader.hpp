#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "results_record.hpp"

namespace parasim::report_tool {

// Receives the records of a results file in file order.
class RecordConsumer {
 public:
  virtual ~RecordConsumer() = default;
  // line counts from 1, the six header lines included.
  virtual void take(const ResultsRecord& record, std::uint64_t line) = 0;
  // Called once after the last record; not called when the file is malformed.
  virtual void end_of_records() = 0;
};

// Fills up to size bytes at dest and returns how many it wrote, 0 at the end of the input.
using ByteSource = std::function<std::size_t(char* dest, std::size_t size)>;

inline constexpr std::size_t default_read_buffer_size = std::size_t{4} << 20;

// Reads a whole results file: checks the six header lines, then hands every record to consumer.
// Lines may end with CR LF or LF; the last line may lack its line end, as when a run was stopped.
// Throws MalformedResults at the first line that breaks the format. Holds one buffer of
// buffer_size bytes (at least 256) whatever the length of the file. Returns the number of records.
std::uint64_t read_results(const ByteSource& source, RecordConsumer& consumer,
                           std::size_t buffer_size = default_read_buffer_size);

}  // namespace parasim::report_tool
