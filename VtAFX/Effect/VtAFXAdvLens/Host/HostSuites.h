// A stack object that loads host suites on first use and releases them all when it goes
// out of scope, so no path out of a command (a return or a thrown error) leaks a suite.
#pragma once

#include <cstdint>

#include "AE_EffectCBSuites.h"
#include "SPBasic.h"

class HostSuites {
 public:
  // Throws PF_Err_BAD_CALLBACK_PARAM (as a plain integer) when `basic` is null.
  explicit HostSuites(const SPBasicSuite* basic);
  // Releases every suite loaded, in reverse order of loading; release results are ignored
  // (there is no one left to report them to).
  ~HostSuites();
  HostSuites(const HostSuites&) = delete;
  HostSuites& operator=(const HostSuites&) = delete;

  // Each returns the suite's table, loading it on first request. A suite the host cannot
  // hand out throws PF_Err_BAD_CALLBACK_PARAM, without a message.
  PF_Iterate8Suite1* Iterate8Suite1();
  PF_Iterate16Suite1* Iterate16Suite1();
  PF_IterateFloatSuite1* IterateFloatSuite1();
  PF_Sampling8Suite1* Sampling8Suite1();
  PF_Sampling16Suite1* Sampling16Suite1();
  PF_SamplingFloatSuite1* SamplingFloatSuite1();

 private:
  // One slot per suite the handler serves; `table` is null until loaded.
  struct Slot {
    const char* name;
    int32_t version;
    const void* table;
  };
  enum SlotIndex : int32_t {
    kIterate8,
    kIterate16,
    kIterateFloat,
    kSampling8,
    kSampling16,
    kSamplingFloat,
    kSlotCount
  };

  const void* Load(SlotIndex slot);

  const SPBasicSuite* basic_;
  Slot slots_[kSlotCount];
  // Slots in the order they were loaded, for releasing in reverse.
  SlotIndex loadOrder_[kSlotCount];
  int32_t loaded_;
};
