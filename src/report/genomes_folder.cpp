#include "report/genomes_folder.hpp"

#include <cstdio>

namespace parasim::genomes {

std::string genomes_file_path(const std::string& folder, std::int32_t generation) {
  char name[40];
  std::snprintf(name, sizeof name, "genomes-%06d.vcf.gz", static_cast<int>(generation));
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool is_genomes_file_name(std::string_view name) {
  constexpr std::string_view prefix = "genomes-";
  if (!name.starts_with(prefix)) {
    return false;
  }
  name.remove_prefix(prefix.size());
  std::size_t digits = 0;
  while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9') {
    ++digits;
  }
  const std::string_view ending = name.substr(digits);
  return digits > 0 && (ending == ".vcf.gz" || ending == ".vcf.gz.tbi" || ending == ".samples.tsv");
}

}  // namespace parasim::genomes
