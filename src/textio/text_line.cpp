#include "textio/text_line.hpp"

#include <cstdio>

namespace parasim::textio {

std::string text_line(std::string_view text) {
  std::string line;
  append_text_line(line, text);
  return line;
}

void append_text_line(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size() + 3);
  out.push_back(' ');
  out.append(text);
  out.append("\r\n", 2);
}

void write_console_line(std::string_view text) {
  std::FILE* out = stdout;
  std::fwrite(" ", 1, 1, out);
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), out);
  std::fwrite("\r\n", 1, 2, out);
  std::fflush(out);
}

}  // namespace parasim::textio
