// The pieces of processor detection that do not touch the processor: what
// the identification instruction returned, and how it becomes a ProcessorInfo.
#pragma once

#include <cstdint>

#include "convert/processor.h"

namespace zirvo {

struct IdentificationReadings {
  char vendor[12];           // leaf 0: EBX, EDX, ECX
  uint32_t signature;        // leaf 1 EAX
  uint32_t standardEdx;      // leaf 1 EDX
  uint32_t standardEcx;      // leaf 1 ECX
  uint32_t extendedEdx;      // leaf 0x80000001 EDX, 0 when the leaf is missing
  uint32_t wideVectorFeatures;  // kFeatureAvx2 / kFeatureAvx512 / kFeatureAvx512Vbmi usable
};

// Whether an instruction set actually runs here (one classic feature bit).
using ExecutionTest = bool (*)(uint32_t feature);

// The classic six bits the readings report.
uint32_t ReportedFeatures(const IdentificationReadings& readings);

// Fills `info` (when not null) from the readings, running `runs` for each
// reported classic feature; returns the reported word. The wide vector
// features go into both words.
uint32_t DescribeProcessor(const IdentificationReadings& readings, ExecutionTest runs,
                           ProcessorInfo* info);

// Name from the vendor's first 12 characters, family and model; "Unknown"
// when nothing matches.
const char* ProcessorName(const char* vendor, int32_t family, int32_t model);

// Reads the identification instruction; false when there is none.
bool ReadIdentification(IdentificationReadings* readings);

// Execution test of this build's platform.
bool FeatureRuns(uint32_t feature);

}  // namespace zirvo
