// Reads the x86 identification instruction and tests which vector state the
// operating system saves; elsewhere there is no identification.
#include "convert/processor_identification.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <cstring>
#endif

namespace zirvo {

#if defined(__x86_64__) || defined(__i386__)

namespace {

constexpr uint32_t kEcxFma = 1u << 12;
constexpr uint32_t kEcxOsXsave = 1u << 27;
constexpr uint32_t kEcxAvx = 1u << 28;
constexpr uint32_t kLeaf7EbxAvx2 = 1u << 5;
constexpr uint32_t kLeaf7EbxBmi1 = 1u << 3;
constexpr uint32_t kLeaf7EbxBmi2 = 1u << 8;
constexpr uint32_t kLeaf7EbxAvx512F = 1u << 16;
constexpr uint32_t kLeaf7EbxAvx512Dq = 1u << 17;
constexpr uint32_t kLeaf7EbxAvx512Bw = 1u << 30;
constexpr uint32_t kLeaf7EbxAvx512Vl = 1u << 31;
constexpr uint32_t kLeaf7EcxAvx512Vbmi = 1u << 1;
constexpr uint64_t kXcr0SseAvx = 0x6;       // XMM and YMM state
constexpr uint64_t kXcr0Avx512 = 0xE6;      // plus opmask, ZMM upper halves, ZMM16-31
constexpr uint32_t kEdxFxsr = 1u << 24;

uint64_t ReadExtendedControlRegister0() {
  uint32_t low = 0;
  uint32_t high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (static_cast<uint64_t>(high) << 32) | low;
}

// AVX2 and AVX-512 need the instructions and an OS that saves their state.
uint32_t UsableWideVectors(uint32_t maximumLeaf, uint32_t standardEcx) {
  bool osSavesYmm = (standardEcx & kEcxOsXsave) && (standardEcx & kEcxAvx);
  if (!osSavesYmm || maximumLeaf < 7) return 0;
  uint64_t xcr0 = ReadExtendedControlRegister0();
  if ((xcr0 & kXcr0SseAvx) != kXcr0SseAvx) return 0;
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  uint32_t usable = 0;
  constexpr uint32_t avx2Bits = kLeaf7EbxAvx2 | kLeaf7EbxBmi1 | kLeaf7EbxBmi2;
  if ((ebx & avx2Bits) != avx2Bits || !(standardEcx & kEcxFma)) return 0;
  usable |= kFeatureAvx2;
  constexpr uint32_t avx512Bits =
      kLeaf7EbxAvx512F | kLeaf7EbxAvx512Dq | kLeaf7EbxAvx512Bw | kLeaf7EbxAvx512Vl;
  if ((ebx & avx512Bits) != avx512Bits || (xcr0 & kXcr0Avx512) != kXcr0Avx512) return usable;
  // Every AVX-512 kernel file is compiled with VBMI enabled, and the compiler
  // emits VBMI permutes on its own there: without VBMI none of them may run.
  if (!(ecx & kLeaf7EcxAvx512Vbmi)) return usable;
  return usable | kFeatureAvx512 | kFeatureAvx512Vbmi;
}

}  // namespace

bool ReadIdentification(IdentificationReadings* readings) {
  // __get_cpuid_max also answers whether the instruction exists (i486).
  uint32_t maximumLeaf = __get_cpuid_max(0, nullptr);
  if (maximumLeaf == 0) return false;
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid(0, eax, ebx, ecx, edx);
  std::memcpy(readings->vendor, &ebx, 4);
  std::memcpy(readings->vendor + 4, &edx, 4);
  std::memcpy(readings->vendor + 8, &ecx, 4);
  __cpuid(1, eax, ebx, ecx, edx);
  readings->signature = eax;
  readings->standardEdx = edx;
  readings->standardEcx = ecx;
  readings->extendedEdx = 0;
  uint32_t maximumExtended = __get_cpuid_max(0x80000000u, nullptr);
  if (maximumExtended >= 0x80000001u) {
    uint32_t extendedEax = 0, extendedEbx = 0, extendedEcx = 0, extendedEdx = 0;
    __cpuid(0x80000001u, extendedEax, extendedEbx, extendedEcx, extendedEdx);
    readings->extendedEdx = extendedEdx;
  }
  readings->wideVectorFeatures = UsableWideVectors(maximumLeaf, ecx);
  return true;
}

bool FeatureRuns(uint32_t feature) {
#if defined(__x86_64__)
  // MMX, SSE and SSE2 are part of the 64-bit architecture, and the other
  // reported sets need no state of their own from the operating system.
  (void)feature;
  return true;
#else
  // SSE state is only usable when the system saves it with FXSAVE.
  if (feature == kFeatureSse || feature == kFeatureSse2) {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(1, eax, ebx, ecx, edx);
    return (edx & kEdxFxsr) != 0;
  }
  return true;
#endif
}

#else

bool ReadIdentification(IdentificationReadings*) { return false; }

bool FeatureRuns(uint32_t) { return false; }

#endif

}  // namespace zirvo
