#include "Host/HostSuites.h"

#include "Host/SuiteAccess.h"

HostSuites::HostSuites(const SPBasicSuite* basic)
    : basic_(basic),
      slots_{{kPFIterate8Suite, kPFIterate8SuiteVersion1, nullptr},
             {kPFIterate16Suite, kPFIterate16SuiteVersion1, nullptr},
             {kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1, nullptr},
             {kPFSampling8Suite, kPFSampling8SuiteVersion1, nullptr},
             {kPFSampling16Suite, kPFSampling16SuiteVersion1, nullptr},
             {kPFSamplingFloatSuite, kPFSamplingFloatSuiteVersion1, nullptr}},
      loadOrder_{},
      loaded_(0) {
  if (!basic_) throw static_cast<PF_Err>(PF_Err_BAD_CALLBACK_PARAM);
}

HostSuites::~HostSuites() {
  while (loaded_ > 0) {
    const Slot& slot = slots_[loadOrder_[--loaded_]];
    if (basic_->ReleaseSuite) basic_->ReleaseSuite(slot.name, slot.version);
  }
}

const void* HostSuites::Load(SlotIndex index) {
  Slot& slot = slots_[index];
  if (slot.table) return slot.table;
  const void* table = TakeSuite(basic_, slot.name, slot.version);
  if (!table) throw static_cast<PF_Err>(PF_Err_BAD_CALLBACK_PARAM);
  slot.table = table;
  loadOrder_[loaded_++] = index;
  return table;
}

// The host hands out its tables as const; the host's own interface types them mutable.
#define VTAFX_SUITE_ACCESSOR(NAME, TYPE, SLOT) \
  TYPE* HostSuites::NAME() { return const_cast<TYPE*>(static_cast<const TYPE*>(Load(SLOT))); }

VTAFX_SUITE_ACCESSOR(Iterate8Suite1, PF_Iterate8Suite1, kIterate8)
VTAFX_SUITE_ACCESSOR(Iterate16Suite1, PF_Iterate16Suite1, kIterate16)
VTAFX_SUITE_ACCESSOR(IterateFloatSuite1, PF_IterateFloatSuite1, kIterateFloat)
VTAFX_SUITE_ACCESSOR(Sampling8Suite1, PF_Sampling8Suite1, kSampling8)
VTAFX_SUITE_ACCESSOR(Sampling16Suite1, PF_Sampling16Suite1, kSampling16)
VTAFX_SUITE_ACCESSOR(SamplingFloatSuite1, PF_SamplingFloatSuite1, kSamplingFloat)

#undef VTAFX_SUITE_ACCESSOR
