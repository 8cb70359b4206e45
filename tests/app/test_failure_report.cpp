#include "app/failure_report.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "model/allocation_failure.hpp"
#include "report/results_file.hpp"

namespace parasim::app {
namespace {

using Operation = report::OutputFailure::Operation;

struct Case {
  const char* what;
  std::function<void()> raise;
  std::string statement;
  std::string message;
  int exit_status;
};

const std::string no_memory =
    std::string("Operating system error: ") + std::strerror(ENOMEM) + "\nMemory allocation failed";

model::ParameterRefusal refusal(const char* name, std::int32_t least, std::int32_t value) {
  return {model::find_parameter(name), least, value};
}

TEST(FailureReport, EveryFailureHasItsStatementMessageAndStatus) {
  const Case cases[] = {
      {"a bad integer answer", [] { throw AnswerUnreadable(4, textio::ReadFailure::bad_integer); },
       "cannot read parameter 4 of 10 (\"Maximum number of offspring per parent\")",
       "Bad integer for item 1 in list input", 2},
      {"input ended", [] { throw AnswerUnreadable(9, textio::ReadFailure::end_of_file); },
       "cannot read parameter 9 of 10 (\" Standard deviation of the survival probability "
       "function \")",
       "End of file", 2},
      {"an integer too large", [] { throw AnswerUnreadable(1, textio::ReadFailure::integer_overflow); },
       "cannot read parameter 1 of 10 (\"Genome size\")", "Integer overflow while reading item 1", 2},
      {"a bad real", [] { throw AnswerUnreadable(2, textio::ReadFailure::bad_real); },
       "cannot read parameter 2 of 10 (\"Maximum genetic differentiation for mate recognition (a "
       "number between 0 and 1)\")",
       "Bad real number in item 1 of list input", 2},
      {"unreadable standard input",
       [] { throw AnswerUnreadable(1, textio::ReadFailure::end_of_file, EISDIR); },
       "cannot read parameter 1 of 10 (\"Genome size\")", std::strerror(EISDIR), 2},
      {"no host", [] { throw ParametersRefused(refusal("host_count", 1, 0)); },
       "the parameters cannot be run", "The number of hosts must be at least 1, not 0", 2},
      {"a negative genome", [] { throw ParametersRefused(refusal("genome_size", 0, -3)); },
       "the parameters cannot be run", "The genome size must be 0 or more, not -3", 2},
      {"no capacity", [] { throw ParametersRefused(refusal("carrying_capacity", 1, -1)); },
       "the parameters cannot be run", "The carrying capacity must be at least 1, not -1", 2},
      {"a results file that cannot be made",
       [] { throw report::OutputFailure(Operation::create, "Output.dat", EACCES); },
       "cannot open \"Output.dat\" for writing", std::strerror(EACCES), 2},
      {"a full disk", [] { throw report::OutputFailure(Operation::write, "Output.dat", ENOSPC); },
       "cannot write to \"Output.dat\"", std::strerror(ENOSPC), 2},
      {"a results file shorter than the checkpoint",
       [] { throw report::OutputFailure(Operation::shorter, "Output.dat", 0); },
       "cannot resume the run", "\"Output.dat\" is shorter than when the checkpoint was written", 2},
      {"a checkpoint that cannot be written",
       [] { throw FileFailure("cannot write the checkpoint \"cp.tmp\"", EROFS); },
       "cannot write the checkpoint \"cp.tmp\"", std::strerror(EROFS), 2},
      {"a foreign checkpoint", [] { throw ResumeRefused("cp", "the checkpoint is corrupt"); },
       "cannot resume from \"cp\"", "the checkpoint is corrupt", 2},
      {"a named array", [] { throw model::AllocationFailure("offspring_pool"); },
       "Allocation of array offspring_pool", no_memory, 1},
      {"any other array", [] { throw std::bad_alloc(); }, "Allocation of array an array", no_memory, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.raise();
      ADD_FAILURE() << "nothing thrown";
    } catch (...) {
      const FailureReport report = report_current_failure();
      EXPECT_EQ(report.statement, c.statement);
      EXPECT_EQ(report.message, c.message);
      EXPECT_EQ(report.exit_status, c.exit_status);
    }
  }
}

TEST(FailureReport, AllocateNamesTheArrayWhateverTheAllocatorThrew) {
  EXPECT_THROW(model::allocate("mate_order", [] { throw std::bad_alloc(); }), model::AllocationFailure);
  try {
    model::allocate("survivors", [] { throw std::length_error("too long"); });
  } catch (const model::AllocationFailure& failure) {
    EXPECT_STREQ(failure.array(), "survivors");
  }
}

TEST(FailureReport, GoesToStandardErrorWithLfLineEnds) {
  ::testing::internal::CaptureStderr();
  write_error_report({"Allocation of array population", no_memory, 1});
  const std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(report, "parasim: Allocation of array population\n" + no_memory + "\n");
  EXPECT_EQ(report.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace parasim::app
