#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "e2e/run_parasim.hpp"
#include "report/placed_file.hpp"

namespace parasim::report {
namespace {

namespace fs = std::filesystem;

// The targets of one call, checked together: outputs against outputs and inputs, also by way of
// the files an output folder will make and of linked folders.
TEST(OutputTargets, EveryTargetAgainstEveryOther) {
  const fs::path dir = testing::fresh_directory("output-targets");
  const std::string d = dir.string() + "/";
  fs::create_directories(dir / "tables");
  fs::create_directories(dir / "sub");
  fs::create_directories(dir / "history");
  testing::write_file(dir / "history" / "species.csv", "a history's table");
  testing::write_file(dir / "Output.dat", "results");
  testing::write_file(dir / "cp", "a checkpoint");
  fs::create_directory_symlink("tables", dir / "linked");
  fs::create_symlink("history/species.csv", dir / "to-species.csv");
  fs::create_symlink(dir / "elsewhere.csv", dir / "tables" / "points.csv");
  const auto tables = any_of_names({"species.csv", "points.csv", "hosts.csv"});

  const struct Case {
    std::string name;
    std::function<void(OutputTargets&)> add;
    std::string refused;  // a part of the refusal; empty when the targets go together
  } cases[] = {
      {"two outputs, one file",
       [&](OutputTargets& t) {
         t.add_file("the record", d + "out.json");
         t.add_file("the checkpoint", d + "sub/../out.json");
       },
       "same file as the record"},
      {"an output that is an input",
       [&](OutputTargets& t) {
         t.add_input("the results file", d + "Output.dat");
         t.add_file("the record", d + "Output.dat");
       },
       "same file as the results file"},
      {"a checkpoint resumed from and written again",
       [&](OutputTargets& t) {
         t.add_input("the checkpoint to resume from", d + "cp", "the checkpoint");
         t.add_file("the checkpoint", d + "cp");
       },
       ""},
      {"an input the tables folder would replace",
       [&](OutputTargets& t) {
         t.add_input("the history's species.csv", d + "history/species.csv");
         t.add_folder("the tables folder", d + "history", tables);
       },
       "same file as the history's species.csv"},
      {"an input reached through a link",
       [&](OutputTargets& t) {
         t.add_input("the results file", d + "to-species.csv");
         t.add_folder("the tables folder", d + "history", tables);
       },
       "same file as the results file"},
      {"an output named through a linked folder",
       [&](OutputTargets& t) {
         t.add_folder("the tables folder", d + "tables", tables);
         t.add_file("the record", d + "linked/hosts.csv");
       },
       "a file of the tables folder"},
      {"a file the folder makes that is a link",
       [&](OutputTargets& t) { t.add_folder("the tables folder", d + "linked", tables); },
       "symbolic link"},
      {"names the folder does not make",
       [&](OutputTargets& t) {
         t.add_folder("the history folder", d + "history", any_of_names({"run.json"}));
         t.add_input("the results file", d + "history/species.csv");
         t.add_file("the record", d + "history/record.json");
       },
       ""},
      {"two folder outputs, one folder",
       [&](OutputTargets& t) {
         t.add_folder("the history folder", d + "history", any_of_names({"run.json"}));
         t.add_folder("the genomes folder", d + "history", any_of_names({"g.vcf.gz"}));
       },
       ""},
      {"a missing folder and a file of the same name",
       [&](OutputTargets& t) {
         t.add_folder("the genomes folder", d + "new", any_of_names({"g.vcf.gz"}));
         t.add_file("the record", d + "new");
       },
       "same file as the genomes folder"},
      {"a folder that is a file",
       [&](OutputTargets& t) { t.add_folder("the history folder", d + "cp", tables); },
       "it exists and is not a folder"},
      {"a folder to be made with its missing parents",
       [&](OutputTargets& t) { t.add_folder("the history folder", d + "new/deeper", tables); }, ""},
      {"a folder to be made in a file",
       [&](OutputTargets& t) { t.add_folder("the history folder", d + "cp/new/deeper", tables); },
       "\"" + d + "cp\" is not a folder"},
      {"an input that is not there",
       [&](OutputTargets& t) { t.add_input("the results file", d + "absent.dat"); },
       "No such file or directory"},
      {"an input that is a folder",
       [&](OutputTargets& t) { t.add_input("the results file", d + "tables"); },
       "it is not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OutputTargets targets;
    c.add(targets);
    try {
      targets.check();
      EXPECT_EQ(c.refused, "") << "accepted";
    } catch (const TargetRefused& refused) {
      EXPECT_NE(c.refused, "") << refused.what();
      const std::string text = refused.role() + ": " + refused.what();
      EXPECT_NE(text.find(c.refused), std::string::npos) << text;
    }
  }
  EXPECT_FALSE(fs::exists(dir / "new")) << "checking makes nothing";
}

// A missing folder is made with its missing parents in the nearest folder there, also through
// a link to a folder; a file or a dangling link on the way, or as the folder, is refused and
// nothing is made.
TEST(OutputTargets, MakeOutputFolderMakesItsMissingParents) {
  const fs::path dir = testing::fresh_directory("output-folder");
  fs::create_directory(dir / "there");
  fs::create_directory_symlink("there", dir / "linked");
  fs::create_directory_symlink("gone", dir / "dangling");
  testing::write_file(dir / "file", "a file of the user's");
  const struct {
    fs::path folder;
    std::string refused;  // a part of the refusal; empty when the folder is made
  } cases[] = {
      {dir / "new", ""},
      {dir / "new", ""},  // serves again
      {dir / "a" / "b" / "c", ""},
      {dir / "linked" / "b" / "c", ""},
      {dir / "linked", ""},
      {dir / "d" / "missing" / ".." / "e" / "", ""},
      {dir / "file" / "b" / "c", "\"" + (dir / "file").string() + "\" is not a folder"},
      {dir / "dangling" / "b",
       "\"" + (dir / "dangling").string() + "\" is a dangling symbolic link"},
      {dir / "dangling", "it is a dangling symbolic link"},
      {dir / "file", "it exists and is not a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    try {
      make_output_folder("the history folder", c.folder.string());
      EXPECT_EQ(c.refused, "") << "made";
      EXPECT_TRUE(fs::is_directory(c.folder));
    } catch (const TargetRefused& refused) {
      EXPECT_NE(c.refused, "") << refused.what();
      EXPECT_NE(std::string(refused.what()).find(c.refused), std::string::npos) << refused.what();
    }
  }
  EXPECT_TRUE(fs::is_directory(dir / "there" / "b" / "c")) << "made through the link";
  EXPECT_FALSE(fs::exists(dir / "gone"));
  EXPECT_EQ(testing::read_file(dir / "file"), "a file of the user's");
}

}  // namespace
}  // namespace parasim::report
