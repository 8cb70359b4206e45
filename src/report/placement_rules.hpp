#pragma once

// What the parts of the placed-file module share; the programs use report/placed_file.hpp.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parasim::report::placement {

// The folder a path lies in ("." for a bare name).
std::string folder_of(const std::string& path);

// The last part of a path.
std::string_view name_of(std::string_view path);

// Why a file cannot be written at path by the rule of placed_file.hpp, or nothing when it can:
// absent or a regular file, in a folder that exists and can be written.
std::optional<std::string> file_target_fault(const std::string& path);

// Why files cannot be made in folder, or nothing: a folder or a link to one, that can be
// written; `may_be_absent` lets a missing folder through when it can be made (missing_folders).
std::optional<std::string> folder_target_fault(const std::string& folder, bool may_be_absent);

// The folders on the way to a folder that are not there, outermost first and the folder last
// (none when it is there), and why they cannot be made: the nearest one on the way that is there
// must be a folder, or a link to one, that can be written (a file or a dangling link on the way
// is refused).
struct MissingFolders {
  std::vector<std::string> paths;
  std::optional<std::string> fault;
};
MissingFolders missing_folders(const std::string& folder);

// The name of a temporary file or staging folder of this process for `stem` in folder:
// folder/.STEM.parasim-PID-XXXXXX with the X's to be filled in by mkstemp-like creation.
std::string temporary_pattern(const std::string& folder, std::string_view stem);

// Removes, once per folder and process, the temporary files and staging folders left in
// folder by processes of this program that are gone.
void sweep_leftovers(const std::string& folder);

// Live temporary files and staging folders, removed by the signal clean-up. track returns a
// slot (-1 when every slot is taken: then only the normal failure paths remove the path).
int track(const std::string& path, bool is_folder);
void untrack(int slot);

}  // namespace parasim::report::placement
