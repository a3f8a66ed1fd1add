// Processor identification: vendor, name, signature and the instruction sets
// the conversion kernels may use.
#pragma once

#include <cstdint>

namespace zirvo {

// Feature bits of the reported and verified words. The first six are the
// classic set; the wider vector sets are our own additions above them.
enum ProcessorFeature : uint32_t {
  kFeatureMmx = 0x01,
  kFeatureSse = 0x02,
  kFeatureSse2 = 0x04,
  kFeature3dNow = 0x08,
  kFeatureSse3 = 0x10,
  kFeatureEcx8 = 0x20,  // standard feature flags ECX bit 8
  kFeatureAvx2 = 0x100,       // AVX2 with FMA and BMI2, OS saves YMM state
  kFeatureAvx512 = 0x200,     // AVX-512 F, BW, VL, DQ and VBMI, OS saves ZMM state
  kFeatureAvx512Vbmi = 0x400, // always together with kFeatureAvx512
};

struct ProcessorInfo {
  char vendor[13];
  char name[30];
  int32_t family;
  int32_t model;
  int32_t stepping;
  uint32_t reportedFeatures;
  uint32_t verifiedFeatures;
  uint32_t checked;  // always 0x3F once filled
};

// Identifies the processor; fills `info` when it is not null and returns the
// reported feature word. 0 without an identification instruction (and then
// `info` is left as it was).
uint32_t DetectProcessor(ProcessorInfo* info);

// Features both reported and verified: what a kernel may rely on.
inline uint32_t UsableFeatures(const ProcessorInfo& info) {
  return info.reportedFeatures & info.verifiedFeatures;
}

}  // namespace zirvo
