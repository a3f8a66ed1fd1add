// Processor detection: feature words, signature fields and the name table.
#include <cstring>

#include "convert/processor_identification.h"

namespace zirvo {

namespace {

struct NameEntry {
  const char* vendor;
  int32_t family;  // -1: any
  int32_t firstModel;  // -1: any
  int32_t lastModel;
  const char* name;
};

constexpr NameEntry kNames[] = {
    {"AuthenticAMD", 4, -1, -1, "AMD Am486"},
    {"AuthenticAMD", 5, 0, 3, "AMD K5"},
    {"AuthenticAMD", 5, 6, 7, "AMD K6"},
    {"AuthenticAMD", 5, 8, 8, "AMD K6-2"},
    {"AuthenticAMD", 5, 9, 15, "AMD K6-3"},
    {"AuthenticAMD", 6, -1, -1, "AMD ATHLON"},
    {"GenuineIntel", 4, 0, 1, "INTEL 486DX"},
    {"GenuineIntel", 4, 2, 2, "INTEL 486SX"},
    {"GenuineIntel", 4, 3, 3, "INTEL 486DX2"},
    {"GenuineIntel", 4, 4, 4, "INTEL 486SL"},
    {"GenuineIntel", 4, 5, 5, "INTEL 486SX2"},
    {"GenuineIntel", 4, 7, 7, "INTEL 486DX2E"},
    {"GenuineIntel", 4, 8, 8, "INTEL 486DX4"},
    {"GenuineIntel", 5, 1, 3, "INTEL Pentium"},
    {"GenuineIntel", 5, 4, 4, "INTEL Pentium-MMX"},
    {"GenuineIntel", 6, 1, 1, "INTEL Pentium-Pro"},
    {"GenuineIntel", 6, 3, 3, "INTEL Pentium-II"},
    {"GenuineIntel", 6, 5, 5, "INTEL Pentium-II"},
    {"GenuineIntel", 6, 6, 6, "INTEL Celeron"},
    {"GenuineIntel", 6, 7, 8, "INTEL Pentium-III"},
    {"GenuineIntel", 6, 10, 10, "INTEL Pentium-III"},
    {"GenuineIntel", 15, 0, 0, "INTEL Pentium-4"},
    {"CyrixInstead", -1, -1, -1, "Cyrix"},
    {"CentaurHauls", -1, -1, -1, "Centaur"},
};

struct FeatureFlag {
  uint32_t feature;
  bool fromEcx;
  bool extended;
  int bit;
};

// Examined in this order; the order only matters for the execution tests.
constexpr FeatureFlag kFeatureFlags[] = {
    {kFeatureMmx, false, false, 23},  {kFeature3dNow, false, true, 31},
    {kFeatureSse, false, false, 25},  {kFeatureSse2, false, false, 26},
    {kFeatureSse3, true, false, 0},   {kFeatureEcx8, true, false, 8},
};

constexpr uint32_t kAllClassicFeatures = 0x3F;

bool Reports(const IdentificationReadings& readings, const FeatureFlag& flag) {
  uint32_t word = flag.extended ? readings.extendedEdx
                  : flag.fromEcx ? readings.standardEcx
                                 : readings.standardEdx;
  return (word >> flag.bit) & 1u;
}

}  // namespace

const char* ProcessorName(const char* vendor, int32_t family, int32_t model) {
  for (const NameEntry& entry : kNames) {
    if (std::strncmp(vendor, entry.vendor, 12) != 0) continue;
    if (entry.family != -1 && entry.family != family) continue;
    if (entry.firstModel != -1 && (model < entry.firstModel || model > entry.lastModel)) continue;
    return entry.name;
  }
  return "Unknown";
}

uint32_t ReportedFeatures(const IdentificationReadings& readings) {
  uint32_t reported = 0;
  for (const FeatureFlag& flag : kFeatureFlags) {
    if (Reports(readings, flag)) reported |= flag.feature;
  }
  return reported;
}

uint32_t DescribeProcessor(const IdentificationReadings& readings, ExecutionTest runs,
                           ProcessorInfo* info) {
  uint32_t reported = 0;
  uint32_t verified = 0;
  for (const FeatureFlag& flag : kFeatureFlags) {
    if (!Reports(readings, flag)) continue;
    reported |= flag.feature;
    if (runs(flag.feature)) verified |= flag.feature;
  }
  reported |= readings.wideVectorFeatures;
  verified |= readings.wideVectorFeatures;
  if (info == nullptr) return reported;

  std::memset(info, 0, sizeof(*info));
  info->reportedFeatures = reported;
  info->verifiedFeatures = verified;
  uint32_t signature = readings.signature;
  int32_t family = static_cast<int32_t>((signature >> 8) & 0xF);
  if (family == 15) family = 16 * static_cast<int32_t>((signature >> 20) & 0xFF) + 15;
  info->family = family;
  info->model = static_cast<int32_t>((signature >> 4) & 0xF);
  info->stepping = static_cast<int32_t>(signature & 0xF);
  std::memcpy(info->vendor, readings.vendor, 12);
  const char* name = ProcessorName(info->vendor, info->family, info->model);
  std::strncpy(info->name, name, sizeof(info->name) - 1);
  info->checked = kAllClassicFeatures;
  return reported;
}

uint32_t DetectProcessor(ProcessorInfo* info) {
  IdentificationReadings readings{};
  if (!ReadIdentification(&readings)) return 0;
  return DescribeProcessor(readings, &FeatureRuns, info);
}

}  // namespace zirvo
