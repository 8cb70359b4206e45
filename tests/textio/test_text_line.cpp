#include "textio/text_line.hpp"

#include <gtest/gtest.h>

#include <string>

namespace parasim::textio {
namespace {

TEST(TextLine, PutsOneBlankBeforeTheTextAndCrLfAfterIt) {
  EXPECT_EQ(text_line("Genome size"), " Genome size\r\n");
}

TEST(TextLine, KeepsTheTextsOwnLeadingAndTrailingBlanks) {
  EXPECT_EQ(text_line(" Carrying capacity"), "  Carrying capacity\r\n");
  EXPECT_EQ(text_line(" Standard deviation of the survival probability function "),
            "  Standard deviation of the survival probability function \r\n");
}

TEST(TextLine, EmptyTextIsABlankLine) { EXPECT_EQ(text_line(""), " \r\n"); }

TEST(TextLine, CopiesQuotesAndEveryByteUnchanged) {
  EXPECT_EQ(text_line("See your results at the generated file \"Output.dat\""),
            " See your results at the generated file \"Output.dat\"\r\n");
  const std::string with_nul("a\0b'c", 5);
  EXPECT_EQ(text_line(with_nul), " " + with_nul + "\r\n");
}

TEST(TextLine, NeverSplitsALongLine) {
  const std::string text(100'000, 'x');
  const std::string line = text_line(text);
  ASSERT_EQ(line.size(), text.size() + 3);
  EXPECT_EQ(line.find('\n'), line.size() - 1);
}

TEST(TextLine, AppendAddsWholeLines) {
  std::string out = "existing\r\n";
  append_text_line(out, "one");
  append_text_line(out, "two");
  EXPECT_EQ(out, "existing\r\n one\r\n two\r\n");
}

TEST(TextLine, ConsoleLineGoesToStandardOutput) {
  ::testing::internal::CaptureStdout();
  write_console_line("The model is running ...");
  write_console_line("");
  const std::string written = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(written, " The model is running ...\r\n \r\n");
}

}  // namespace
}  // namespace parasim::textio
