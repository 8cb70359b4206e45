#include "host_points.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "folder_test.hpp"
#include "generation_aggregator.hpp"
#include "record_collector.hpp"
#include "report_errors.hpp"
#include "results_text.hpp"

namespace parasim::report_tool {
namespace {

using testing::RecordCollector;
using testing::results_text;
using testing::text_source;

class HostPoints : public FolderTest {
 protected:
  std::string table() const {
    std::ifstream in(folder_ / "host_points.csv", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

// Parasites of one species and phenotype on two hosts are two rows; rows come by species,
// phenotype, host whatever the order of the records; every record reaches the next consumer.
TEST_F(HostPoints, GroupsEachGenerationBySpeciesPhenotypeAndHost) {
  const std::string text = results_text(std::vector<testing::RecordValues>{
      {1, 5.0, 1, 5.0, 2},
      {1, 5.0, 1, 5.0, 1},
      {1, 5.0, 1, 5.0, 1},
      {1, 5.0, 2, 5.5, 1},
      {1, 4.9, 2, 5.5, 1},
      {10, 5.5, 2, 5.5, 1},
      {10, 5.5, 3, 4.5, 1},
      {10, 5.5, 3, 4.5, 1},
  });
  RecordCollector next;
  {
    HostPointTable points(folder_ / "host_points.csv", next);
    read_results(text_source(text), points);
  }
  EXPECT_EQ(table(),
            "generation,label,phenotype,host,count\n"
            "1,1,4.9000,2,1\n1,1,5.0000,1,2\n1,1,5.0000,2,1\n1,2,5.0000,1,1\n"
            "10,1,5.5000,2,1\n10,1,5.5000,3,2\n");
  EXPECT_EQ(next.records.size(), 8u);
  EXPECT_TRUE(next.ended);
}

TEST_F(HostPoints, AFileWithoutRecordsGivesTheHeaderAlone) {
  RecordCollector next;
  {
    HostPointTable points(folder_ / "host_points.csv", next);
    read_results(text_source(results_text(std::vector<std::string>{})), points);
  }
  EXPECT_EQ(table(), "generation,label,phenotype,host,count\n");
}

// The aggregator behind the table refuses hosts out of order, and the reading stops there.
TEST_F(HostPoints, RecordsRefusedBehindItStopTheReading) {
  const std::string text =
      results_text(std::vector<testing::RecordValues>{{1, 5.0, 2, 5.5, 1}, {1, 5.0, 1, 5.0, 1}});
  GenerationAggregator aggregator({});
  HostPointTable points(folder_ / "host_points.csv", aggregator);
  EXPECT_THROW(read_results(text_source(text), points), MalformedResults);
}

}  // namespace
}  // namespace parasim::report_tool
