// Processor detection: feature words, signature fields, names.
#include "convert/processor.h"

#include <gtest/gtest.h>

#include <cstring>

#include "convert/processor_identification.h"

namespace zirvo {
namespace {

constexpr uint32_t kEdxMmx = 1u << 23;
constexpr uint32_t kEdxSse = 1u << 25;
constexpr uint32_t kEdxSse2 = 1u << 26;
constexpr uint32_t kEcxSse3 = 1u << 0;
constexpr uint32_t kEcxBit8 = 1u << 8;
constexpr uint32_t kExtendedEdx3dNow = 1u << 31;

IdentificationReadings Readings(const char* vendor, uint32_t signature, uint32_t edx,
                                uint32_t ecx, uint32_t extendedEdx = 0) {
  IdentificationReadings readings{};
  std::memcpy(readings.vendor, vendor, 12);
  readings.signature = signature;
  readings.standardEdx = edx;
  readings.standardEcx = ecx;
  readings.extendedEdx = extendedEdx;
  return readings;
}

bool EverythingRuns(uint32_t) { return true; }
bool Sse2Faults(uint32_t feature) { return feature != kFeatureSse2; }

uint32_t Signature(uint32_t family, uint32_t model, uint32_t stepping,
                   uint32_t extendedFamily = 0) {
  return (extendedFamily << 20) | (family << 8) | (model << 4) | stepping;
}

TEST(ProcessorDescription, ReportsEachClassicFeatureFromItsFlag) {
  IdentificationReadings readings =
      Readings("GenuineIntel", Signature(6, 7, 3), kEdxMmx | kEdxSse | kEdxSse2,
               kEcxSse3 | kEcxBit8, kExtendedEdx3dNow);
  ProcessorInfo info{};
  uint32_t reported = DescribeProcessor(readings, &EverythingRuns, &info);
  EXPECT_EQ(reported, 0x3Fu);
  EXPECT_EQ(info.reportedFeatures, 0x3Fu);
  EXPECT_EQ(info.verifiedFeatures, 0x3Fu);
  EXPECT_EQ(info.checked, 0x3Fu);
  EXPECT_EQ(ReportedFeatures(Readings("GenuineIntel", 0, kEdxSse, 0)), kFeatureSse);
  EXPECT_EQ(ReportedFeatures(Readings("GenuineIntel", 0, 0, kEcxBit8)), kFeatureEcx8);
}

TEST(ProcessorDescription, AFailedExecutionTestKeepsTheReportedBitOnly) {
  IdentificationReadings readings =
      Readings("GenuineIntel", Signature(6, 10, 0), kEdxMmx | kEdxSse | kEdxSse2, 0);
  ProcessorInfo info{};
  DescribeProcessor(readings, &Sse2Faults, &info);
  EXPECT_TRUE(info.reportedFeatures & kFeatureSse2);
  EXPECT_FALSE(info.verifiedFeatures & kFeatureSse2);
  EXPECT_TRUE(info.verifiedFeatures & kFeatureMmx);
}

TEST(ProcessorDescription, CarriesWideVectorFeaturesInBothWords) {
  IdentificationReadings readings = Readings("AuthenticAMD", Signature(15, 1, 0, 10), kEdxSse2, 0);
  readings.wideVectorFeatures = kFeatureAvx2 | kFeatureAvx512;
  ProcessorInfo info{};
  DescribeProcessor(readings, &EverythingRuns, &info);
  EXPECT_EQ(info.reportedFeatures, kFeatureSse2 | kFeatureAvx2 | kFeatureAvx512);
  EXPECT_EQ(info.verifiedFeatures, info.reportedFeatures);
}

TEST(ProcessorDescription, DecodesSignatureWithTheExtendedFamily) {
  ProcessorInfo info{};
  DescribeProcessor(Readings("AuthenticAMD", Signature(15, 1, 2, 10), 0, 0), &EverythingRuns,
                    &info);
  EXPECT_EQ(info.family, 16 * 10 + 15);
  EXPECT_EQ(info.model, 1);
  EXPECT_EQ(info.stepping, 2);
  EXPECT_STREQ(info.vendor, "AuthenticAMD");
  EXPECT_STREQ(info.name, "Unknown");
}

TEST(ProcessorDescription, ANullRecordOnlyReturnsTheReportedWord) {
  EXPECT_EQ(DescribeProcessor(Readings("GenuineIntel", 0, kEdxMmx, 0), &EverythingRuns, nullptr),
            kFeatureMmx);
}

TEST(ProcessorNames, FollowTheTable) {
  EXPECT_STREQ(ProcessorName("GenuineIntel", 6, 10), "INTEL Pentium-III");
  EXPECT_STREQ(ProcessorName("GenuineIntel", 6, 9), "Unknown");
  EXPECT_STREQ(ProcessorName("GenuineIntel", 6, 5), "INTEL Pentium-II");
  EXPECT_STREQ(ProcessorName("GenuineIntel", 6, 4), "Unknown");
  EXPECT_STREQ(ProcessorName("GenuineIntel", 4, 1), "INTEL 486DX");
  EXPECT_STREQ(ProcessorName("GenuineIntel", 4, 6), "Unknown");
  EXPECT_STREQ(ProcessorName("GenuineIntel", 15, 0), "INTEL Pentium-4");
  EXPECT_STREQ(ProcessorName("AuthenticAMD", 5, 8), "AMD K6-2");
  EXPECT_STREQ(ProcessorName("AuthenticAMD", 5, 4), "Unknown");
  EXPECT_STREQ(ProcessorName("AuthenticAMD", 5, 15), "AMD K6-3");
  EXPECT_STREQ(ProcessorName("AuthenticAMD", 6, 12), "AMD ATHLON");
  EXPECT_STREQ(ProcessorName("AuthenticAMD", 15, 0), "Unknown");
  EXPECT_STREQ(ProcessorName("CyrixInstead", 9, 9), "Cyrix");
  EXPECT_STREQ(ProcessorName("CentaurHauls", 6, 0), "Centaur");
}

#if defined(__x86_64__)
TEST(ProcessorDetection, FindsTheBaselineOfThisMachine) {
  ProcessorInfo info;
  std::memset(&info, 0x5A, sizeof(info));
  uint32_t reported = DetectProcessor(&info);
  EXPECT_EQ(reported, info.reportedFeatures);
  constexpr uint32_t baseline = kFeatureMmx | kFeatureSse | kFeatureSse2;
  EXPECT_EQ(info.verifiedFeatures & baseline, baseline);
  EXPECT_EQ(info.checked, 0x3Fu);
  EXPECT_EQ(std::strlen(info.vendor), 12u);
  EXPECT_EQ(DetectProcessor(nullptr), reported);
  if (info.reportedFeatures & kFeatureAvx512) {
    EXPECT_TRUE(info.reportedFeatures & kFeatureAvx2);
    EXPECT_TRUE(info.reportedFeatures & kFeatureAvx512Vbmi);  // the AVX-512 kernels need it
  }
}
#endif

}  // namespace
}  // namespace zirvo
