// Test helper: a byte stream made on the fly, so that tests can feed items of
// any length without holding them.
#pragma once

#include <cstdint>
#include <streambuf>
#include <string>

namespace parasim::textio::testing {

// prefix, then `count` copies of `fill`, then suffix; produced in 64 KiB pieces.
class GeneratedInput : public std::streambuf {
 public:
  GeneratedInput(std::string prefix, char fill, std::uint64_t count, std::string suffix);

  // Bytes handed out so far.
  std::uint64_t produced() const { return produced_; }

 protected:
  int_type underflow() override;

 private:
  std::string prefix_;
  char fill_;
  std::uint64_t count_;
  std::string suffix_;
  std::uint64_t position_ = 0;
  std::uint64_t produced_ = 0;
  char piece_[65536];
};

}  // namespace parasim::textio::testing
