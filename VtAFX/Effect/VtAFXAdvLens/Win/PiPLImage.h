// The bytes of the effect's property list resource (PiPL) in the host's Windows form: a
// 16-bit 1, the list version and the property count, then 13 properties, all little-endian.
// Each property is vendor '8BIM', key, id 0, length, then its data padded with zeros to a
// multiple of 4. Strings give their padded length; numbers their natural size (2 for the
// info flags, which still take 4 bytes). Built at build time from Host/EffectInfo.h, the
// values global set-up also reports.
#pragma once

#include <cstdint>
#include <vector>

#include "Host/EffectInfo.h"
#include "Host/FourCharCode.h"

namespace PiPL {

inline void PutU16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFFu));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFFu));
}

inline void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  PutU16(out, value & 0xFFFFu);
  PutU16(out, value >> 16);
}

// Appends one property; `lengthField` is what the length says, `data` what follows it.
inline void PutProperty(std::vector<uint8_t>& out, const char (&key)[5],
                        const std::vector<uint8_t>& data, uint32_t lengthField) {
  PutU32(out, MakeFourCharCode("8BIM"));
  PutU32(out, MakeFourCharCode(key));
  PutU32(out, 0);
  PutU32(out, lengthField);
  out.insert(out.end(), data.begin(), data.end());
  for (size_t n = data.size(); n % 4 != 0; ++n) out.push_back(0);
}

inline uint32_t Padded(size_t size) { return static_cast<uint32_t>((size + 3) / 4 * 4); }

// A length byte and at most 255 characters, no terminator.
inline void PutPascalString(std::vector<uint8_t>& out, const char (&key)[5], const char* text) {
  std::vector<uint8_t> data(1, 0);
  for (; *text != '\0' && data.size() < 256; ++text) data.push_back(static_cast<uint8_t>(*text));
  data[0] = static_cast<uint8_t>(data.size() - 1);
  PutProperty(out, key, data, Padded(data.size()));
}

// The characters and a terminating zero.
inline void PutCString(std::vector<uint8_t>& out, const char (&key)[5], const char* text) {
  std::vector<uint8_t> data;
  for (; *text != '\0'; ++text) data.push_back(static_cast<uint8_t>(*text));
  data.push_back(0);
  PutProperty(out, key, data, Padded(data.size()));
}

inline void PutLong(std::vector<uint8_t>& out, const char (&key)[5], uint32_t value) {
  std::vector<uint8_t> data;
  PutU32(data, value);
  PutProperty(out, key, data, 4);
}

// Two 16-bit numbers, major first.
inline void PutVersionPair(std::vector<uint8_t>& out, const char (&key)[5], uint32_t major,
                           uint32_t minor) {
  std::vector<uint8_t> data;
  PutU16(data, major);
  PutU16(data, minor);
  PutProperty(out, key, data, 4);
}

inline void PutShort(std::vector<uint8_t>& out, const char (&key)[5], uint32_t value) {
  std::vector<uint8_t> data;
  PutU16(data, value);
  PutProperty(out, key, data, 2);
}

}  // namespace PiPL

// The effect's whole property list resource.
inline std::vector<uint8_t> BuildPiPLImage() {
  using namespace PiPL;
  std::vector<uint8_t> out;
  PutU16(out, 1);  // written by the host's own resource tools ahead of the list, counted nowhere
  PutU32(out, 0);  // list version
  PutU32(out, 13);
  PutLong(out, "kind", MakeFourCharCode("eFKT"));
  PutPascalString(out, "name", kEffectName);
  PutPascalString(out, "catg", kEffectCategory);
  PutCString(out, "8664", kEffectEntryPointName);
  PutVersionPair(out, "ePVR", static_cast<uint32_t>(kPiPLVersionMajor),
                 static_cast<uint32_t>(kPiPLVersionMinor));
  PutVersionPair(out, "eSVR", PF_AE_PLUG_IN_VERSION, PF_AE_PLUG_IN_SUBVERS);
  PutLong(out, "eVER", kEffectVersion);
  PutShort(out, "eINF", static_cast<uint32_t>(kEffectInfoFlags));
  PutLong(out, "eGLO", static_cast<uint32_t>(kEffectOutFlags));
  PutLong(out, "eGL2", static_cast<uint32_t>(kEffectOutFlags2));
  PutPascalString(out, "eMNA", kEffectMatchName);
  PutLong(out, "aeFL", static_cast<uint32_t>(kPiPLReservedInfo));
  PutPascalString(out, "eURL", kEffectSupportURL);
  return out;
}
