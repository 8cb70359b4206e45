#pragma once

// Whether this test is built with AddressSanitizer (the sanitizer build of scripts/test). There
// every run of the program takes twenty or more times as long: some tests run a smaller case
// that still reaches what they check, and leave the full one to the normal build.
namespace parasim::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool sanitizer_build = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool sanitizer_build = true;
#else
inline constexpr bool sanitizer_build = false;
#endif
#else
inline constexpr bool sanitizer_build = false;
#endif

}  // namespace parasim::testing
