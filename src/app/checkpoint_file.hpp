#pragma once

#include <string>

namespace parasim::app {

// The whole content of a file. Throws FileFailure.
std::string read_whole_file(const std::string& path);

}  // namespace parasim::app
