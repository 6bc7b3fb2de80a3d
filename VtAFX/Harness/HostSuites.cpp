// The basic suite: serves the suites of this host by exact name and version, counts every
// acquisition and release per suite, and fails them on request.
#include <cstdlib>
#include <cstring>

#include "HostScope.h"
#include "HostSuiteTables.h"
#include "SPErrorCodes.h"

namespace harness {
namespace {

int32_t FindSuite(const char* name, int32 version) {
  if (name == nullptr) return -1;
  for (int32_t i = 0; i < kSuiteCount; ++i) {
    if (std::strcmp(SuiteAt(i).name, name) == 0 && SuiteAt(i).version == version) return i;
  }
  return -1;
}

SPErr AcquireSuite(const char* name, int32 version, const void** suite) {
  if (suite == nullptr) return kSPSuiteNotFoundError;
  *suite = nullptr;
  CallScope* scope = CurrentScope();
  const int32_t id = FindSuite(name, version);
  if (id < 0) {
    if (scope != nullptr) scope->unknownSuiteRequests.fetch_add(1);
    return kSPSuiteNotFoundError;
  }
  if (scope != nullptr) {
    if (PF_Err err = scope->Count(kCallCount + 2 * id)) {
      scope->suites[id].refused.fetch_add(1);
      scope->LogSuite("refuse", id);
      return err;
    }
    scope->suites[id].acquired.fetch_add(1);
    scope->suites[id].held.fetch_add(1);
    scope->LogSuite("acquire", id);
    scope->host.Totals().suitesAcquired.fetch_add(1);
  }
  *suite = SuiteAt(id).table;
  return kSPNoError;
}

// A failed release still counts as the effect's release: the effect did what it should.
SPErr ReleaseSuite(const char* name, int32 version) {
  CallScope* scope = CurrentScope();
  const int32_t id = FindSuite(name, version);
  if (id < 0) {
    if (scope != nullptr) scope->unknownSuiteRequests.fetch_add(1);
    return kSPSuiteNotFoundError;
  }
  if (scope == nullptr) return kSPNoError;
  const PF_Err err = scope->Count(kCallCount + 2 * id + 1);
  CallScope::SuiteCounters& c = scope->suites[id];
  c.released.fetch_add(1);
  scope->LogSuite("release", id);
  scope->host.Totals().suitesReleased.fetch_add(1);
  if (c.held.fetch_sub(1) <= 0) {
    c.held.fetch_add(1);
    c.stray.fetch_add(1);
  }
  if (err != PF_Err_NONE) c.releaseFailed.fetch_add(1);
  return err;
}

SPBoolean IsEqual(const char* a, const char* b) {
  return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

SPErr AllocateBlock(size_t size, void** block) {
  if (block == nullptr) return kSPSuiteNotFoundError;
  *block = std::malloc(size > 0 ? size : 1);
  return *block != nullptr ? kSPNoError : SPErr(A_Err_ALLOC);
}

SPErr FreeBlock(void* block) {
  std::free(block);
  return kSPNoError;
}

SPErr ReallocateBlock(void* block, size_t size, void** newBlock) {
  if (newBlock == nullptr) return kSPSuiteNotFoundError;
  void* p = std::realloc(block, size > 0 ? size : 1);
  if (p == nullptr) return A_Err_ALLOC;
  *newBlock = p;
  return kSPNoError;
}

SPErr Undefined() { return kSPSuiteNotFoundError; }

}  // namespace

const SPBasicSuite* BasicSuite() {
  static const SPBasicSuite suite = {AcquireSuite, ReleaseSuite,    IsEqual,  AllocateBlock,
                                     FreeBlock,    ReallocateBlock, Undefined};
  return &suite;
}

const SuiteEntry& SuiteAt(int32_t id) {
  static const SuiteEntry entries[kSuiteCount] = {
      {kPFANSISuite, kPFANSISuiteVersion1, &AnsiSuite()},
      {kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3, &ParamUtilsSuite()},
      {kPFPointParamSuite, kPFPointParamSuiteVersion1, &PointParamSuite()},
      {kPFWorldSuite, kPFWorldSuiteVersion2, &WorldSuite()},
      {kPFPixelDataSuite, kPFPixelDataSuiteVersion1, &PixelDataSuite()},
      {kPFEffectSequenceDataSuite, kPFEffectSequenceDataSuiteVersion1, &SequenceDataSuite()},
      {kPFIterate8Suite, kPFIterate8SuiteVersion1, &Iterate8Suite()},
      {kPFIterate16Suite, kPFIterate16SuiteVersion1, &Iterate16Suite()},
      {kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1, &IterateFloatSuite()},
      {kPFSampling8Suite, kPFSampling8SuiteVersion1, &Sampling8Suite()},
      {kPFSampling16Suite, kPFSampling16SuiteVersion1, &Sampling16Suite()},
      {kPFSamplingFloatSuite, kPFSamplingFloatSuiteVersion1, &SamplingFloatSuite()},
  };
  return entries[id];
}

}  // namespace harness
