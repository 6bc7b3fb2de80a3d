// Four-character codes as the host stores parameter ids and property-list keys.
#pragma once

#include <cstdint>

// The code of `text` (exactly four characters) with its first character in the most
// significant byte: MakeFourCharCode("modl") is 0x6D6F646C.
constexpr uint32_t MakeFourCharCode(const char (&text)[5]) {
  return (static_cast<uint32_t>(static_cast<unsigned char>(text[0])) << 24) |
         (static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 8) |
         static_cast<uint32_t>(static_cast<unsigned char>(text[3]));
}
