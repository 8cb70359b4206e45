#pragma once

#include <string>
#include <vector>

namespace parasim::app {

// The whole program: options, dialogue, set-up, results file, generation loop and
// closing lines. Returns the exit status.
int parasim_main(const std::vector<std::string>& arguments);

}  // namespace parasim::app
