#pragma once
// Which code the fast kernels run. Every path gives the same results; the vector paths only do more
// pixels per instruction. The build never assumes more than the architecture's baseline (SSE2 on
// x86-64): the AVX2 code is compiled for AVX2 alone and chosen at run time when the processor has it.
// The x86 kernels (AVX2, chosen at run time) are built on x86 unless NYXEL_PORTABLE_KERNELS is defined,
// which builds only the portable ones, as on any other architecture.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(NYXEL_PORTABLE_KERNELS)
#define NYXEL_X86 1
#endif

namespace nyxel {

enum class SimdPath {
  kScalar,  // one pixel at a time
  kVector,  // 16-byte vectors: SSE2 on x86-64, whatever the compiler has elsewhere
  kAvx2,    // 32-byte vectors, x86-64 processors with AVX2 only
};

// The widest path this processor runs.
SimdPath BestSimdPath();
// The path the kernels use now; BestSimdPath() unless a test or the bench chose another.
SimdPath ActiveSimdPath();
// Chooses a path; one the processor lacks falls back to BestSimdPath().
void SetSimdPath(SimdPath path);

}  // namespace nyxel
