#pragma once

#include <string>

namespace parasim::app {

// Replaces the file at path with bytes so that a crash at any moment leaves either
// the old file or the new one, whole: the bytes go to a temporary file beside it,
// which is flushed to disk and then renamed over it. Throws FileFailure.
void write_file_atomically(const std::string& path, const std::string& bytes);

// The whole content of a file. Throws FileFailure.
std::string read_whole_file(const std::string& path);

}  // namespace parasim::app
