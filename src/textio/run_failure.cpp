#include "textio/run_failure.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace parasim::textio {

RunFailure memory_failure(const std::string& array_name) {
  std::string message = "Operating system error: ";
  message += std::strerror(ENOMEM);
  message += "\nMemory allocation failed";
  return RunFailure("Allocation of array " + array_name, std::move(message), exit_status_memory);
}

RunFailure file_failure(const std::string& statement, int errno_value) {
  return RunFailure(statement, std::strerror(errno_value), exit_status_input_or_file);
}

void write_error_report(const RunFailure& failure) {
  std::FILE* err = stderr;
  const std::string& statement = failure.statement();
  const std::string& message = failure.message();
  std::fwrite("parasim: ", 1, 9, err);
  std::fwrite(statement.data(), 1, statement.size(), err);
  std::fputc('\n', err);
  std::fwrite(message.data(), 1, message.size(), err);
  std::fputc('\n', err);
  std::fflush(err);
}

}  // namespace parasim::textio
