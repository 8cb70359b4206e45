#include "results_columns.hpp"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "generation_aggregator.hpp"
#include "results_reader.hpp"

namespace parasim::python {

namespace {

using report_tool::ResultsRecord;

// Keeps every record, after parasim-report's checks of the order the run writes.
class ColumnCollector : public report_tool::RecordConsumer {
 public:
  explicit ColumnCollector(ResultsColumns& columns) : columns_(columns), order_check_({}) {}

  void take(const ResultsRecord& record, std::uint64_t line) override {
    order_check_.take(record, line);
    columns_.generation.push_back(record.generation);
    columns_.phenotype.push_back(real(record.phenotype));
    columns_.host.push_back(record.host_id);
    columns_.host_phenotype.push_back(real(record.host_phenotype));
    columns_.species.push_back(record.species_id);
  }
  void end_of_records() override { order_check_.end_of_records(); }

 private:
  static double real(report_tool::TenThousandths value) {
    return static_cast<double>(value) / static_cast<double>(report_tool::ten_thousandths_per_unit);
  }

  ResultsColumns& columns_;
  report_tool::GenerationAggregator order_check_;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

ResultsColumns read_results_columns(const std::string& path) {
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    throw std::system_error(errno, std::generic_category(), "cannot open " + path);
  }
  const report_tool::ByteSource source = [&](char* dest, std::size_t size) {
    const std::size_t got = std::fread(dest, 1, size, file.get());
    if (got == 0 && std::ferror(file.get())) {
      throw std::system_error(errno, std::generic_category(), "cannot read " + path);
    }
    return got;
  };
  ResultsColumns columns;
  ColumnCollector collector(columns);
  report_tool::read_results(source, collector);
  return columns;
}

}  // namespace parasim::python
