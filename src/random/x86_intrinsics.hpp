#pragma once

// The x86-64 vector intrinsics, for the kernels of the avx2 and avx512 paths. GCC 12 warns
// of an uninitialised value inside its own AVX-512 intrinsics wherever they are inlined
// (the "undefined" register some of them start from, GCC bug 105593); the warning is
// silenced for the intrinsics' header alone.
#include "random/vector_paths.hpp"

#if PARASIM_X86_KERNELS
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif
