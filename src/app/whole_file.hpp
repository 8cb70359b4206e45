#pragma once

#include <cstddef>
#include <limits>
#include <string>

namespace parasim::app {

// The whole content of a regular file that the run reads (a checkpoint, a parameters file);
// `role` names it in the failure, e.g. "the checkpoint". A file larger than most_bytes is refused
// (EFBIG) before it is read. Throws FileFailure.
std::string read_whole_file(const std::string& path, const std::string& role = "the checkpoint",
                            std::size_t most_bytes = std::numeric_limits<std::size_t>::max());

}  // namespace parasim::app
