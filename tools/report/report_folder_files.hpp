#pragma once

#include <string>
#include <vector>

namespace parasim::report_tool {

// Every file a report may make in its --csv or --plot folder: the tables of a results file
// (CsvTables), those of a history (HistoryTables) and the figures of the figure script, each as
// .png and .svg. The folder is checked against the report's inputs by these names before
// anything is read; when the files are put in place, each is checked again by the name it has.
std::vector<std::string> report_folder_files();

}  // namespace parasim::report_tool
