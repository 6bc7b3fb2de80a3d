#include "Pipl.h"

namespace harness {
namespace {

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint32_t ReadU16(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8); }

bool DecodePascal(const PiplProperty& p, std::string& out, std::string& error) {
  if (p.data.empty() || size_t(p.data[0]) + 1 > p.data.size()) {
    error = "string property '" + FourCCText(p.key) + "' is longer than its data";
    return false;
  }
  out.assign(reinterpret_cast<const char*>(p.data.data()) + 1, p.data[0]);
  return true;
}

bool DecodeCString(const PiplProperty& p, std::string& out, std::string& error) {
  size_t n = 0;
  while (n < p.data.size() && p.data[n] != 0) ++n;
  if (n == p.data.size()) {
    error = "string property '" + FourCCText(p.key) + "' has no terminator";
    return false;
  }
  out.assign(reinterpret_cast<const char*>(p.data.data()), n);
  return true;
}

bool NeedLength(const PiplProperty& p, uint32_t length, std::string& error) {
  if (p.length == length) return true;
  error = "property '" + FourCCText(p.key) + "' has length " + std::to_string(p.length) +
          ", expected " + std::to_string(length);
  return false;
}

bool DecodeKnown(const PiplProperty& p, PiplInfo& info, std::string& error) {
  const uint8_t* d = p.data.data();
  switch (p.key) {
    case FourCC("kind"):
      if (!NeedLength(p, 4, error)) return false;
      info.kind = ReadU32(d);
      return true;
    case FourCC("name"): return DecodePascal(p, info.name, error);
    case FourCC("catg"): return DecodePascal(p, info.category, error);
    case FourCC("8664"): return DecodeCString(p, info.entryPoint, error);
    case FourCC("ePVR"):
      if (!NeedLength(p, 4, error)) return false;
      info.piplMajor = int16_t(ReadU16(d));
      info.piplMinor = int16_t(ReadU16(d + 2));
      return true;
    case FourCC("eSVR"):
      if (!NeedLength(p, 4, error)) return false;
      info.specMajor = int16_t(ReadU16(d));
      info.specMinor = int16_t(ReadU16(d + 2));
      return true;
    case FourCC("eVER"):
      if (!NeedLength(p, 4, error)) return false;
      info.effectVersion = ReadU32(d);
      return true;
    case FourCC("eINF"):
      if (!NeedLength(p, 2, error)) return false;
      info.infoFlags = ReadU16(d);
      return true;
    case FourCC("eGLO"):
      if (!NeedLength(p, 4, error)) return false;
      info.outFlags = int32_t(ReadU32(d));
      return true;
    case FourCC("eGL2"):
      if (!NeedLength(p, 4, error)) return false;
      info.outFlags2 = int32_t(ReadU32(d));
      return true;
    case FourCC("eMNA"): return DecodePascal(p, info.matchName, error);
    case FourCC("aeFL"):
      if (!NeedLength(p, 4, error)) return false;
      info.reservedInfo = int32_t(ReadU32(d));
      return true;
    case FourCC("eURL"): return DecodePascal(p, info.supportUrl, error);
    default: return true;  // kept in `properties`, nothing to decode
  }
}

}  // namespace

std::string FourCCText(uint32_t code) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) {
    char c = char((code >> (24 - 8 * i)) & 0xFF);
    text[size_t(i)] = (c >= 32 && c < 127) ? c : '?';
  }
  return text;
}

bool DecodePipl(const uint8_t* bytes, size_t size, PiplInfo& info, std::string& error) {
  info = PiplInfo();
  if (bytes == nullptr || size < 10) {
    error = "property list shorter than its 10-byte header";
    return false;
  }
  if (ReadU16(bytes) != 1) {
    error = "property list does not start with the word 1";
    return false;
  }
  if (ReadU32(bytes + 2) != 0) {
    error = "unknown property list version " + std::to_string(ReadU32(bytes + 2));
    return false;
  }
  const uint32_t count = ReadU32(bytes + 6);
  size_t at = 10;
  for (uint32_t i = 0; i < count; ++i) {
    if (size - at < 16) {
      error = "property " + std::to_string(i) + " runs past the end";
      return false;
    }
    PiplProperty p;
    p.vendor = ReadU32(bytes + at);
    p.key = ReadU32(bytes + at + 4);
    p.id = ReadU32(bytes + at + 8);
    p.length = ReadU32(bytes + at + 12);
    const size_t padded = (size_t(p.length) + 3) / 4 * 4;
    if (size - at - 16 < padded) {
      error = "property '" + FourCCText(p.key) + "' runs past the end";
      return false;
    }
    for (const PiplProperty& seen : info.properties) {
      if (seen.key == p.key && seen.vendor == p.vendor) {
        error = "property '" + FourCCText(p.key) + "' appears twice";
        return false;
      }
    }
    p.data.assign(bytes + at + 16, bytes + at + 16 + p.length);
    if (!DecodeKnown(p, info, error)) return false;
    info.properties.push_back(std::move(p));
    at += 16 + padded;
  }
  if (at != size) {
    error = std::to_string(size - at) + " bytes follow the last property";
    return false;
  }
  return true;
}

}  // namespace harness
