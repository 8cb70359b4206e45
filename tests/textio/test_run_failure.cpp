#include "textio/run_failure.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace parasim::textio {
namespace {

TEST(RunFailure, MemoryFailureNamesTheArrayAndEndsWithStatusOne) {
  const RunFailure failure = memory_failure("population");
  EXPECT_NE(failure.statement().find("population"), std::string::npos);
  EXPECT_EQ(failure.message(),
            std::string("Operating system error: ") + std::strerror(ENOMEM) + "\nMemory allocation failed");
  EXPECT_EQ(failure.exit_status(), 1);
  EXPECT_EQ(failure.exit_status(), exit_status_memory);
  EXPECT_EQ(std::string(failure.what()), failure.message());
}

TEST(RunFailure, FileFailureQuotesThePlatformText) {
  const RunFailure failure = file_failure("Opening of \"Output.dat\"", EACCES);
  EXPECT_EQ(failure.statement(), "Opening of \"Output.dat\"");
  EXPECT_EQ(failure.message(), std::strerror(EACCES));
  EXPECT_EQ(failure.exit_status(), 2);
  EXPECT_EQ(file_failure("Write to \"Output.dat\"", ENOSPC).message(), std::strerror(ENOSPC));
}

TEST(RunFailure, ReportGoesToStandardErrorWithLfLineEnds) {
  ::testing::internal::CaptureStderr();
  write_error_report(RunFailure("Read of item 3, \"Mutation rate\"", "End of file", 2));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "parasim: Read of item 3, \"Mutation rate\"\nEnd of file\n");
}

TEST(RunFailure, MemoryReportHasTheMessageOnItsLastLine) {
  ::testing::internal::CaptureStderr();
  write_error_report(memory_failure("offspring_pool"));
  const std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(report, "parasim: Allocation of array offspring_pool\nOperating system error: " +
                        std::string(std::strerror(ENOMEM)) + "\nMemory allocation failed\n");
  EXPECT_EQ(report.find('\r'), std::string::npos);
}

TEST(RunFailure, IsThrownAndCaughtAsARuntimeError) {
  try {
    throw file_failure("Write to \"Output.dat\"", EIO);
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), std::strerror(EIO));
    const auto* failure = dynamic_cast<const RunFailure*>(&error);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->exit_status(), 2);
  }
}

}  // namespace
}  // namespace parasim::textio
