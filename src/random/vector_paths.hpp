#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

// Whether this build holds the kernels written for x86-64 vector units. A build with
// PARASIM_PORTABLE_KERNELS holds only the portable ones, as on any other processor, so
// that they can be built and tested on x86-64 too.
#if defined(__x86_64__) && !defined(PARASIM_PORTABLE_KERNELS)
#define PARASIM_X86_KERNELS 1
#else
#define PARASIM_X86_KERNELS 0
#endif

// The instruction sets a function of the avx512 path is compiled for: all that the
// detector requires of the processor for that path.
#define PARASIM_AVX512_TARGET \
  __attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl,avx512vpopcntdq")))

namespace parasim::random {

// The ways the kernels are carried out: making the stream's blocks, turning outputs into
// exchange positions and event bits, following entries through exchanges, and scanning
// genome heads. Every path gives the same results to the bit; a wider one does more at
// once. Narrowest first; each kernel dispatches with a switch over all of them, so a new
// path is a new value here, a feature in the detector and a case in each switch.
enum class VectorPath : std::uint8_t {
  portable,  // plain C++, one value at a time: every processor, every build
  avx2,      // 256-bit registers of x86-64 with AVX2: eight 32-bit lanes
  avx512,    // 512-bit registers of x86-64 with AVX-512 (F, BW, DQ, VL, VPOPCNTDQ):
             // sixteen 32-bit lanes
};

inline constexpr VectorPath all_vector_paths[] = {VectorPath::portable, VectorPath::avx2,
                                                  VectorPath::avx512};
inline constexpr std::size_t vector_path_count = std::size(all_vector_paths);

// The path's name, as the environment switch takes it: "portable", "avx2", "avx512".
std::string_view vector_path_name(VectorPath path);

// The environment variable that chooses the path of a process: unset, empty or "auto" for
// the widest path the processor runs, or a path's name to force it.
inline constexpr const char* vector_switch = "PARASIM_VECTORS";

// A set of paths: those a processor (and this build) can run.
class RunnablePaths {
 public:
  // The portable path alone, which runs everywhere.
  RunnablePaths() { add(VectorPath::portable); }
  void add(VectorPath path) { bits_ |= bit(path); }
  bool has(VectorPath path) const { return (bits_ & bit(path)) != 0; }
  VectorPath widest() const;
  // The names of the paths in the set, narrowest first, e.g. "portable, avx2".
  std::string names() const;

 private:
  static std::uint32_t bit(VectorPath path) {
    return std::uint32_t{1} << static_cast<unsigned>(path);
  }
  std::uint32_t bits_ = 0;
};

// The paths this processor runs with this build, found once.
RunnablePaths processor_paths();

// A value of one of the environment switches that cannot be honoured. The library only
// says what and why; the program that reads the switch words it.
class SwitchRefused : public std::runtime_error {
 public:
  enum class Reason {
    unknown_value,          // names nothing the switch offers: accepted() lists what it does
    not_on_this_processor,  // a path the processor does not run: accepted() lists those it does
    replaced,               // a value of an older switch: replacement() is what to set now
  };
  SwitchRefused(std::string_view variable, std::string value, Reason reason, std::string accepted,
                std::string replacement = {});
  const std::string& variable() const { return variable_; }
  const std::string& value() const { return value_; }
  Reason reason() const { return reason_; }
  const std::string& accepted() const { return accepted_; }
  const std::string& replacement() const { return replacement_; }

 private:
  std::string variable_;
  std::string value_;
  Reason reason_;
  std::string accepted_;
  std::string replacement_;
};

// A switch's choice, made once for the process: what `choose` returned, or its refusal,
// thrown again on every read.
template <typename Choice>
class ChosenOnce {
 public:
  template <typename Choose>
  explicit ChosenOnce(Choose choose) {
    try {
      choice_ = choose();
    } catch (const SwitchRefused& refused) {
      choice_ = refused;
    }
  }
  Choice get() const {
    if (const auto* refused = std::get_if<SwitchRefused>(&choice_)) {
      throw *refused;
    }
    return std::get<Choice>(choice_);
  }

 private:
  std::variant<Choice, SwitchRefused> choice_ = Choice{};
};

// The path the switch's value asks for on a processor that runs `runnable`; value is null
// when the variable is unset. Throws SwitchRefused for an unknown value or a path not in
// `runnable`.
VectorPath choose_vector_path(const char* value, RunnablePaths runnable);

// The path of this process, chosen once from the switch and the processor. While the switch
// is refused, every call throws the SwitchRefused.
VectorPath vector_path();

}  // namespace parasim::random
