/* Result codes of the host's suite-loading layer. Kept apart from the suite declarations,
 * as the host's own headers keep them, so code that tests a result must include this. */
#ifndef VTAFX_SDK_SPERRORCODES_H
#define VTAFX_SDK_SPERRORCODES_H

enum {
  kSPNoError = 0,
  /* 'S!Fd' */
  kSPSuiteNotFoundError = 0x53214664
};

#endif
