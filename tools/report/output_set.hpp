#pragma once

#include <filesystem>

namespace parasim::report_tool {

// The files one parasim-report run writes into a folder (tables, trees, figures), made to
// appear together or not at all. They are written into a staging folder of this process's
// own inside the folder, and only when every one of them is complete are they moved into
// place, under a lock on the folder, so that two reports into one folder leave the whole set
// of one of them, never a mix; a report that fails (a malformed input, a full disk, failed
// figures) leaves the folder's earlier files as they were.
class OutputSet {
 public:
  // Makes the folder when missing, and the staging folder in it. Throws ReportIoError.
  explicit OutputSet(const std::filesystem::path& folder);
  // Removes the staging folder and whatever is in it, unless the set was committed.
  ~OutputSet();
  OutputSet(const OutputSet&) = delete;
  OutputSet& operator=(const OutputSet&) = delete;

  // Where the files of the set are written.
  const std::filesystem::path& staging() const { return staging_; }

  // Moves every file of the staging folder into the folder, replacing earlier versions.
  // Throws ReportIoError.
  void commit();

 private:
  std::filesystem::path folder_;
  std::filesystem::path staging_;
};

}  // namespace parasim::report_tool
