#include "genomes_folder.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "report/appended_file.hpp"

namespace parasim::genomes {

using report::OutputFailure;

void prepare_genomes_folder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    throw OutputFailure(OutputFailure::Operation::make_folder, folder, errno);
  }
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0) {
    throw OutputFailure(OutputFailure::Operation::make_folder, folder, errno);
  }
  if (!S_ISDIR(status.st_mode)) {
    throw OutputFailure(OutputFailure::Operation::make_folder, folder, ENOTDIR);
  }
  // Files are made in it and renamed there: both need write and search permission.
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    throw OutputFailure(OutputFailure::Operation::use_folder, folder, errno);
  }
}

std::string genomes_file_path(const std::string& folder, std::int32_t generation) {
  char name[40];
  std::snprintf(name, sizeof name, "genomes-%06d.vcf.gz", static_cast<int>(generation));
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace parasim::genomes
