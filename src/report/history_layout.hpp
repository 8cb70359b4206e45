#pragma once

#include <string_view>

namespace parasim::report {

// The files of a species history folder (parasim --history DIR), shared by the run that writes
// them and every program that reads them.

// One row per species in order of origin, rewritten whole after every labelling.
inline constexpr std::string_view history_species_file = "species.csv";
inline constexpr std::string_view history_species_header =
    "species,label,parent,born,size_at_birth,last_seen,extant";

// After every labelling, one row per species and host with at least one carrier, appended.
inline constexpr std::string_view history_abundance_file = "abundance.csv";
inline constexpr std::string_view history_abundance_header =
    "generation,species,label,host,host_phenotype,count,phenotype_mean,phenotype_sd";

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

}  // namespace parasim::report
