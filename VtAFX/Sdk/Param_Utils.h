/* Parameter helpers: the decimal places a slider shows. The field is a plain 16-bit count,
 * so more places than these names cover are allowed. */
#ifndef VTAFX_SDK_PARAM_UTILS_H
#define VTAFX_SDK_PARAM_UTILS_H

enum {
  PF_Precision_INTEGER = 0,
  PF_Precision_TENTHS = 1,
  PF_Precision_HUNDREDTHS = 2,
  PF_Precision_THOUSANDTHS = 3,
  PF_Precision_TEN_THOUSANDTHS = 4
};

#endif
