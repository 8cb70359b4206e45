#include "stepped_run.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/generation_loop.hpp"
#include "model/recording_observer.hpp"
#include "model/small_world.hpp"

namespace parasim::python {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

fs::path fresh_folder() {
  const fs::path folder =
      fs::temp_directory_path() / ("parasim-stepped-run-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

// The console program's loop and the Python module's run, each followed by an observer that
// writes down every call: the two must show their observers the same generations in the same
// order, and write the same results file. A run restored from its saved state between two
// calls goes on exactly as the rest of the uninterrupted one.
TEST(SteppedRun, RunsEveryGenerationAsTheConsoleLoopDoes) {
  const fs::path folder = fresh_folder();
  for (const std::int32_t generations : {0, 1, 23}) {
    const model::Parameters parameters = model::testing::small_world(24, 0.01, generations);
    model::testing::RecordingObserver console;
    app::OpenedRun opened;
    opened.simulation = std::make_unique<model::Simulation>(parameters, 606);
    opened.results = std::make_unique<report::ResultsFile>((folder / "console.dat").string());
    model::GenerationObserver* const watching[] = {&console};
    app::run_generations(opened, watching);
    opened.results->close();

    model::testing::RecordingObserver stepped;
    SteppedRun run(parameters, 606, (folder / "stepped.dat").string(), {&stepped});
    std::string saved;
    std::size_t calls_before_saving = 0;
    while (!run.finished()) {
      if (run.generation() == 12) {
        saved = run.save();
        calls_before_saving = stepped.calls.size() - 1;  // the standing labelling is not in it
      }
      run.step();
    }
    EXPECT_EQ(stepped.calls, console.calls) << generations << " generations";
    EXPECT_EQ(read_file(folder / "stepped.dat"), read_file(folder / "console.dat"));

    if (!saved.empty()) {
      model::testing::RecordingObserver restored_calls;
      std::unique_ptr<SteppedRun> restored =
          SteppedRun::restore(saved, std::nullopt, {&restored_calls});
      while (!restored->finished()) {
        restored->step();
      }
      const std::vector<std::string> rest(console.calls.begin() + calls_before_saving,
                                          console.calls.end());
      EXPECT_EQ(restored_calls.calls, rest);
    }
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace parasim::python
