// The effect's plug-in property list, as the host reads it: the byte layout of the
// Windows resource (also the file placed next to the Linux module), decoded into the
// thirteen properties an effect of this kind carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace harness {

// One property as stored: codes are the 32-bit values of the four-character constants
// (first character in the most significant byte), `data` the value bytes without the
// padding that follows them.
struct PiplProperty {
  uint32_t vendor = 0;
  uint32_t key = 0;
  uint32_t id = 0;
  uint32_t length = 0;  // the stored length field (padded for strings)
  std::vector<uint8_t> data;
};

// What the properties say. Fields whose property is absent keep their zero values;
// `properties` holds every property in stored order, known or not.
struct PiplInfo {
  std::vector<PiplProperty> properties;
  uint32_t kind = 0;                     // 'kind'
  std::string name;                      // 'name'
  std::string category;                  // 'catg'
  std::string entryPoint;                // '8664'
  int32_t piplMajor = 0, piplMinor = 0;  // 'ePVR'
  int32_t specMajor = 0, specMinor = 0;  // 'eSVR'
  uint32_t effectVersion = 0;            // 'eVER'
  uint32_t infoFlags = 0;                // 'eINF'
  int32_t outFlags = 0;                  // 'eGLO'
  int32_t outFlags2 = 0;                 // 'eGL2'
  std::string matchName;                 // 'eMNA'
  int32_t reservedInfo = 0;              // 'aeFL'
  std::string supportUrl;                // 'eURL'
};

// Builds the 32-bit value of a four-character code from its text ("8BIM" -> 0x3842494D).
constexpr uint32_t FourCC(const char (&code)[5]) {
  return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
         (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

// The four characters of a code, first character first ("8BIM").
std::string FourCCText(uint32_t code);

// Decodes `size` bytes of a Windows-layout property list into `info`. Returns false and
// says why in `error` when the bytes are not such a list: wrong prefix word or version,
// a property running past the end, a string longer than its property, a numeric property
// of the wrong size, bytes left over, or a known property given twice. Never reads
// outside the `size` bytes.
bool DecodePipl(const uint8_t* bytes, size_t size, PiplInfo& info, std::string& error);

}  // namespace harness
