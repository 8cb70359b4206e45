#include "random/vector_paths.hpp"

#include <cstdlib>

namespace parasim::random {

std::string_view vector_path_name(VectorPath path) {
  switch (path) {
    case VectorPath::portable:
      return "portable";
    case VectorPath::avx2:
      return "avx2";
    case VectorPath::avx512:
      return "avx512";
  }
  return "portable";
}

VectorPath RunnablePaths::widest() const {
  VectorPath widest = VectorPath::portable;
  for (const VectorPath path : all_vector_paths) {
    if (has(path)) {
      widest = path;
    }
  }
  return widest;
}

std::string RunnablePaths::names() const {
  std::string names;
  for (const VectorPath path : all_vector_paths) {
    if (has(path)) {
      names += names.empty() ? "" : ", ";
      names += vector_path_name(path);
    }
  }
  return names;
}

RunnablePaths processor_paths() {
  static const RunnablePaths paths = [] {
    RunnablePaths found;
#if PARASIM_X86_KERNELS
    // Also checks that the operating system saves the wide registers. The explicit
    // initialisation makes the answer right even when asked before static constructors.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
      found.add(VectorPath::avx2);
      // The feature list of PARASIM_AVX512_TARGET.
      if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
          __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
          __builtin_cpu_supports("avx512vpopcntdq")) {
        found.add(VectorPath::avx512);
      }
    }
#endif
    return found;
  }();
  return paths;
}

SwitchRefused::SwitchRefused(std::string_view variable, std::string value, Reason reason,
                             std::string accepted, std::string replacement)
    : std::runtime_error(std::string(variable) + "=" + value +
                         (reason == Reason::not_on_this_processor
                              ? " is not a path this processor runs (" + accepted + ")"
                          : reason == Reason::replaced ? " is now " + replacement
                                                       : " is not one of " + accepted)),
      variable_(variable),
      value_(std::move(value)),
      reason_(reason),
      accepted_(std::move(accepted)),
      replacement_(std::move(replacement)) {}

VectorPath choose_vector_path(const char* value, RunnablePaths runnable) {
  if (value == nullptr || *value == '\0' || std::string_view(value) == "auto") {
    return runnable.widest();
  }
  std::string accepted = "auto";
  for (const VectorPath path : all_vector_paths) {
    if (vector_path_name(path) == value) {
      if (!runnable.has(path)) {
        throw SwitchRefused(vector_switch, value, SwitchRefused::Reason::not_on_this_processor,
                            runnable.names());
      }
      return path;
    }
    accepted += ", ";
    accepted += vector_path_name(path);
  }
  throw SwitchRefused(vector_switch, value, SwitchRefused::Reason::unknown_value, accepted);
}

VectorPath vector_path() {
  static const ChosenOnce<VectorPath> path(
      [] { return choose_vector_path(std::getenv(vector_switch), processor_paths()); });
  return path.get();
}

}  // namespace parasim::random
