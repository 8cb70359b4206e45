#pragma once

#include <string>
#include <string_view>

namespace parasim::textio {

// The line a text becomes when written to the console or to the results file:
// one blank, the text exactly as stored, then CR LF.
std::string text_line(std::string_view text);

// Appends that line to out.
void append_text_line(std::string& out, std::string_view text);

// Writes the line to standard output and flushes it, so that a prompt is on the
// screen before the read that follows it waits for input.
void write_console_line(std::string_view text);

}  // namespace parasim::textio
