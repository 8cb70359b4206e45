#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "results_reader.hpp"

namespace parasim::report_tool::testing {

// Keeps every record it is handed, with its line number.
class RecordCollector : public RecordConsumer {
 public:
  void take(const ResultsRecord& record, std::uint64_t line) override {
    records.push_back(record);
    lines.push_back(line);
  }
  void end_of_records() override { ended = true; }

  std::vector<ResultsRecord> records;
  std::vector<std::uint64_t> lines;
  bool ended = false;
};

// Hands out text in pieces of at most piece_size bytes, as a slow pipe would.
inline ByteSource text_source(const std::string& text, std::size_t piece_size = 1 << 20) {
  auto position = std::make_shared<std::size_t>(0);
  return [&text, piece_size, position](char* dest, std::size_t size) {
    const std::size_t count = std::min({size, piece_size, text.size() - *position});
    std::memcpy(dest, text.data() + *position, count);
    *position += count;
    return count;
  };
}

}  // namespace parasim::report_tool::testing
