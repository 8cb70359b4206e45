#include "app/command_line.hpp"

#include <charconv>

#include "model/parameters.hpp"

namespace parasim::app {

namespace {

std::optional<std::int32_t> parse_count(const std::string& text, std::int32_t least) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value < least) {
    return std::nullopt;
  }
  return value;
}

bool takes_value(const std::string& argument) {
  return argument == "--seed" || argument == "--record" || argument == "--parameters" ||
         argument == "--checkpoint" || argument == "--checkpoint-every" || argument == "--resume" ||
         argument == "--history" || argument == "--genomes" || argument == "--genomes-every" ||
         argument == "--genetics-every";
}

}  // namespace

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  bool saw_checkpoint_every = false;
  bool saw_genomes_every = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool has_value = i + 1 < arguments.size();
    if (argument == "--help" || argument == "-h") {
      options.show_help = true;
    } else if (argument == "--version") {
      options.show_version = true;
    } else if (argument == "--list-parameters") {
      options.list_parameters = true;
    } else if (argument == "--print-parameters") {
      options.print_parameters = true;
    } else if (argument == "--progress") {
      options.progress = true;
    } else if (takes_value(argument)) {
      if (!has_value) {
        parsed.error = argument + " needs a value";
        return parsed;
      }
      const std::string& value = arguments[++i];
      if (argument == "--record") {
        options.record_path = value;
      } else if (argument == "--parameters") {
        options.parameters_path = value;
      } else if (argument == "--checkpoint") {
        options.checkpoint_path = value;
      } else if (argument == "--resume") {
        options.resume_path = value;
      } else if (argument == "--history") {
        options.history_path = value;
      } else if (argument == "--genomes") {
        options.genomes_path = value;
      } else if (argument == "--genomes-every") {
        const auto every = parse_count(value, 1);
        if (!every) {
          parsed.error =
              "--genomes-every takes a number of generations from 1 to 2147483647, not \"" + value +
              "\"";
          return parsed;
        }
        options.genomes_every = *every;
        saw_genomes_every = true;
      } else if (argument == "--genetics-every") {
        options.genetics_every = parse_count(value, 1);
        if (!options.genetics_every) {
          parsed.error =
              "--genetics-every takes a number of generations from 1 to 2147483647, not \"" +
              value + "\"";
          return parsed;
        }
      } else if (argument == "--seed") {
        options.seed_ticks = parse_count(value, 0);
        if (!options.seed_ticks) {
          parsed.error = "--seed takes a tick count from 0 to 2147483647, not \"" + value + "\"";
          return parsed;
        }
      } else if (const auto every = parse_count(value, 1)) {
        options.checkpoint_every = *every;
        saw_checkpoint_every = true;
      } else {
        parsed.error =
            "--checkpoint-every takes a number of generations from 1 to 2147483647, not \"" +
            value + "\"";
        return parsed;
      }
    } else {
      parsed.error = "unknown argument \"" + argument + "\"";
      return parsed;
    }
  }
  const bool runs = options.seed_ticks || options.record_path || options.progress ||
                    options.checkpoint_path || options.resume_path || options.history_path ||
                    options.genomes_path;
  if (options.print_parameters && runs) {
    parsed.error = "--print-parameters runs nothing: it goes with --parameters FILE alone";
  } else if (saw_checkpoint_every && !options.checkpoint_path) {
    parsed.error = "--checkpoint-every goes with --checkpoint FILE";
  } else if (saw_genomes_every && !options.genomes_path) {
    parsed.error = "--genomes-every goes with --genomes DIR";
  } else if (options.genetics_every && !options.history_path) {
    parsed.error = "--genetics-every goes with --history DIR";
  }
  return parsed;
}

std::string usage_text() {
  return "Usage: parasim [--parameters FILE] [--seed TICKS] [--record FILE] [--progress]\n"
         "               [--history DIR [--genetics-every G]]\n"
         "               [--genomes DIR [--genomes-every G]]\n"
         "               [--checkpoint FILE [--checkpoint-every G]] [--resume FILE]\n"
         "       parasim [--parameters FILE] --print-parameters\n"
         "       parasim --help | --version | --list-parameters\n"
         "\n"
         "Runs one simulation of parasites evolving on a line of hosts. The ten parameters\n"
         "are read from standard input, one answer per prompt, or by name from a file; the\n"
         "results go to Output.dat in the working directory.\n"
         "\n"
         "  --parameters FILE\n"
         "                 take the ten answers from FILE instead of standard input: one\n"
         "                 'name = value' line for each name of --list-parameters, each\n"
         "                 once, '#' comments and blank lines allowed; the values are read\n"
         "                 as the dialogue reads them, and the prompts are still shown\n"
         "  --print-parameters\n"
         "                 read the ten answers (from standard input, without prompts, or\n"
         "                 from --parameters FILE) and print them as a file that\n"
         "                 --parameters reads back, then stop without running\n"
         "  --seed TICKS   seed the random stream from TICKS (0 ... 2147483647) instead of\n"
         "                 the clock, so that a run can be repeated exactly\n"
         "  --record FILE  after the run, write a JSON record of it to FILE (parameters,\n"
         "                 seed, times, outcome, exit status)\n"
         "  --progress     show a progress line on standard error while the model runs\n"
         "  --history DIR  keep the species history in DIR (made when missing):\n"
         "                 species.csv, who split from whom and when, and abundance.csv,\n"
         "                 every generation's species by host\n"
         "  --genetics-every G\n"
         "                 also at generation 1 and every G-th generation, in DIR:\n"
         "                 divergence.csv, the genetic distances within and between\n"
         "                 species, and groups.csv, how each species falls into the groups\n"
         "                 out of each other's mating reach\n"
         "  --genomes DIR  write every parasite's genome at generation 1 and every G-th\n"
         "                 generation, after its species are labelled, to\n"
         "                 DIR/genomes-GGGGGG.vcf.gz (bgzipped VCF, one record per locus,\n"
         "                 one haploid sample per parasite named\n"
         "                 r<row>_s<species>_l<label>_h<host>)\n"
         "                 with its .tbi index and a .samples.tsv table (DIR made when\n"
         "                 missing)\n"
         "  --genomes-every G\n"
         "                 generations between genome files (default 10)\n"
         "  --checkpoint FILE\n"
         "                 write the whole state of the run to FILE every G generations\n"
         "                 (written atomically: a crash leaves the previous checkpoint)\n"
         "  --checkpoint-every G\n"
         "                 generations between checkpoints (default 100)\n"
         "  --resume FILE  go on from the checkpoint in FILE: give the same answers in the\n"
         "                 same directory; Output.dat is cut back to where the checkpoint\n"
         "                 was taken and the run ends exactly as if never interrupted\n"
         "  --help         show this text\n"
         "  --version      show the program version and where its citation is\n"
         "  --list-parameters\n"
         "                 list the ten answers in the order asked: name, type and prompt,\n"
         "                 separated by tabs\n"
         "\n"
         "Exit status: 0 after a completed run (also when the population died out),\n"
         "2 after a failed read, a refused parameter or a failed file operation,\n"
         "1 when memory ran out.\n";
}

std::string version_number() {
  return PARASIM_VERSION;
}

std::string version_text() {
  return "parasim " + version_number() +
         "\n"
         "To cite parasim and the manuscript whose model it runs (Quillmarsh, by Ashgrove and\n"
         "Fenwright), see CITATION.cff in parasim's source folder.\n";
}

std::string parameter_listing() {
  std::string text;
  for (const model::ParameterField& field : model::parameter_fields) {
    text += std::string(field.name) + '\t' +
            (field.type == model::AnswerType::integer ? "integer" : "real") + '\t' +
            std::string(field.prompt) + '\n';
  }
  return text;
}

}  // namespace parasim::app
