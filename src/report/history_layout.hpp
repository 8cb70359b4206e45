#pragma once

#include <string>
#include <string_view>

namespace parasim::report {

// The files of a species history folder (parasim --history DIR), shared by the run that writes
// them and every program that reads them.

// One row per species in order of origin, rewritten whole after every labelling. The last three
// columns tell where it arose: birth_host, the host holding most of its parasites at its birth;
// parent_host, the same for its parent's parasites then (empty for species 1); host_shift, true
// when the two differ, false when they are the same, empty when either is. A run resumed from a
// checkpoint written before they were kept leaves them empty for the species born before it.
inline constexpr std::string_view history_species_file = "species.csv";
inline constexpr std::string_view history_species_header =
    "species,label,parent,born,size_at_birth,last_seen,extant,birth_host,parent_host,host_shift";
// The header of species.csv as runs wrote it before the host columns: the first seven columns.
inline constexpr std::string_view history_species_header_without_hosts =
    "species,label,parent,born,size_at_birth,last_seen,extant";

// After every labelling, one row per species and host with at least one carrier, appended.
inline constexpr std::string_view history_abundance_file = "abundance.csv";
inline constexpr std::string_view history_abundance_header =
    "generation,species,label,host,host_phenotype,count,phenotype_mean,phenotype_sd";

// With --genetics-every G, at generation 1 and every G-th generation, right after the labelling
// (the moment of abundance.csv), appended:
// - divergence.csv: one row for every pair of species present, species_a <= species_b: the
//   pairs of parasites (n(n - 1)/2 within one species, n_a x n_b between two), and the mean,
//   least and most genetic distance over them in loci; the three distances empty when there is
//   no pair (a species of one parasite);
// - groups.csv: one row per species present: its label, its parasites, the mating groups (the
//   connected components of "genetic distance at most the mate-recognition threshold" over all
//   parasites) holding them, the most of them in one group, and how many of those groups hold
//   parasites of another species too.
inline constexpr std::string_view history_divergence_file = "divergence.csv";
inline constexpr std::string_view history_divergence_header =
    "generation,species_a,species_b,pairs,mean_distance,min_distance,max_distance";
inline constexpr std::string_view history_groups_file = "groups.csv";
inline constexpr std::string_view history_groups_header =
    "generation,species,label,parasites,groups,largest_group,shared_groups";

// The mark of the run that wrote the history, written once when the history is started, so a
// reader can tell whether a results file, a record or a checkpoint belongs to the same run. A
// JSON object with these keys:
//   "program"         "parasim"
//   "seed"            the tick count the run was seeded from
//   "answers"         the ten answers by name, as the run record gives them
//   "answers_digest"  16 hexadecimal digits: the byte digest of the ten answers, each in its own
//                     type (32-bit integer or double, in the order asked), as a checkpoint holds
//                     them
inline constexpr std::string_view history_run_file = "run.json";

// Every file a history folder may hold, for the checks of output targets.
inline constexpr std::string_view history_file_names[] = {
    history_species_file, history_abundance_file, history_divergence_file, history_groups_file,
    history_run_file};

// Where a file of a history folder lies.
inline std::string history_file_path(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') {
    path += '/';
  }
  path.append(name);
  return path;
}

}  // namespace parasim::report
