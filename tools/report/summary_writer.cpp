#include "summary_writer.hpp"

#include <iomanip>
#include <utility>
#include <vector>

namespace parasim::report_tool {

SummaryWriter::SummaryWriter(std::ostream& out, std::string results_name)
    : out_(out), results_name_(std::move(results_name)) {}

void SummaryWriter::generation_done(const GenerationTally& tally) {
  if (history_.generation_count() == 0) {
    first_generation_ = tally.generation;
    out_ << results_name_ << "\n\n"
         << "generation  population   species\n";
  }
  std::vector<std::int64_t> labels;
  labels.reserve(tally.species.size());
  for (const SpeciesTally& species : tally.species) {
    labels.push_back(species.species_id);
  }
  history_.add_generation(tally.generation, labels);
  records_ += tally.phenotypes.count();
  out_ << std::setw(10) << tally.generation << std::setw(12) << tally.phenotypes.count()
       << std::setw(10) << tally.species.size() << '\n';
}

void SummaryWriter::results_done() {
  if (history_.generation_count() == 0) {
    out_ << results_name_ << ": no generation reported (the file holds its header only).\n";
    return;
  }
  out_ << '\n'
       << history_.generation_count() << " generations reported, from " << first_generation_
       << " to " << history_.last_generation() << "; " << records_ << " parasite records.\n";
  write_appearances();
  write_disappearances();
  out_.flush();
}

void SummaryWriter::write_appearances() {
  out_ << "\nNew species (the first report that shows each label):\n";
  for (const LabelSpan& span : history_.appearances()) {
    out_ << "  species " << span.species_id << " at generation " << span.first_generation;
    if (span.label_reused) {
      out_ << " (the label of a species that had died out, given again)";
    }
    out_ << '\n';
  }
}

void SummaryWriter::write_disappearances() {
  const std::vector<LabelSpan> ended = history_.disappearances();
  out_ << "\nSpecies died out before generation " << history_.last_generation()
       << " (the last report that shows each):";
  if (ended.empty()) {
    out_ << " none\n";
    return;
  }
  out_ << '\n';
  for (const LabelSpan& span : ended) {
    out_ << "  species " << span.species_id << ", last seen at generation " << span.last_generation
         << '\n';
  }
}

}  // namespace parasim::report_tool
