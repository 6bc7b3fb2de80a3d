// Where the test module lives, and its property list written beside it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Pipl.h"
#include "PiplBytes.h"

inline std::vector<uint8_t> FakePipl(uint32_t kind = harness::FourCC("eFKT"),
                                     const std::string& entry = "FakeEntry") {
  using harness::FourCC;
  return BuildPipl({Long(FourCC("kind"), kind), Pascal(FourCC("name"), "Fake Effect"),
                    Pascal(FourCC("catg"), "Tests"), CString(FourCC("8664"), entry),
                    Pair(FourCC("ePVR"), 2, 0), Pair(FourCC("eSVR"), 13, 28),
                    Long(FourCC("eVER"), 0x00080001), Short(FourCC("eINF"), 0),
                    Long(FourCC("eGLO"), 0x02000040), Long(FourCC("eGL2"), 0x08001408),
                    Pascal(FourCC("eMNA"), "Tests Fake"), Long(FourCC("aeFL"), 8),
                    Pascal(FourCC("eURL"), "https://example.com")});
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// The built test module, with its property list placed beside it.
inline std::string FakeModulePath() {
  static const std::string path = [] {
    const std::string module = FAKE_EFFECT_PATH;
    WriteFile(module.substr(0, module.rfind('.')) + ".pipl", FakePipl());
    return module;
  }();
  return path;
}
