#include "ToolError.h"

#include <cstdio>

namespace {

// The length of the well-formed UTF-8 sequence of a printable character at `i` (1 for
// printable ASCII), or 0 when the byte there does not print as itself.
size_t PrintableLength(const std::string& s, size_t i) {
  auto byte = [&](size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
  unsigned lead = byte(i);
  if (lead >= 0x20 && lead < 0x7F) return 1;
  size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0) return 0;
  unsigned long cp = lead & (0x7Fu >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates, beyond Unicode, and the C1 controls do not print.
  static const unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kLeast[length] || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF || cp < 0xA0) return 0;
  return length;
}

}  // namespace

std::string Echo(const std::string& input) {
  std::string out = "\"";
  size_t i = 0;
  for (size_t shown = 0; i < input.size() && shown < kEchoLength; ++shown) {
    size_t n = PrintableLength(input, i);
    if (n) {
      out.append(input, i, n);
      i += n;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X",
                    static_cast<unsigned>(static_cast<unsigned char>(input[i++])));
      out += escaped;
    }
  }
  if (i < input.size()) out += "...";
  return out + "\"";
}
