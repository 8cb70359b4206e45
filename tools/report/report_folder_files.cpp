#include "report_folder_files.hpp"

namespace parasim::report_tool {

std::vector<std::string> report_folder_files() {
  std::vector<std::string> names = {"generations.csv",
                                    "species_by_generation.csv",
                                    "hosts.csv",
                                    "points.csv",
                                    "tree.nwk",
                                    "tree-extant.nwk",
                                    "species_history.csv",
                                    "species_sizes.csv",
                                    "host_use.csv",
                                    "lineages.csv",
                                    "history_summary.csv"};
  for (const char* figure :
       {"phenotypes", "population", "tree", "muller", "host_use", "lineages"}) {
    names.push_back(std::string(figure) + ".png");
    names.push_back(std::string(figure) + ".svg");
  }
  return names;
}

}  // namespace parasim::report_tool
