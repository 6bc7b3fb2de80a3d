// Writes property lists in the Windows layout, for tests: a plain second writer, kept
// apart from the harness's reader on purpose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestProperty {
  uint32_t key;
  std::vector<uint8_t> data;  // value bytes without padding
  uint32_t length;            // the stored length field
};

inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

inline TestProperty Pascal(uint32_t key, const std::string& text) {
  TestProperty p{key, {uint8_t(text.size())}, 0};
  p.data.insert(p.data.end(), text.begin(), text.end());
  p.length = uint32_t((p.data.size() + 3) / 4 * 4);
  return p;
}

inline TestProperty CString(uint32_t key, const std::string& text) {
  TestProperty p{key, std::vector<uint8_t>(text.begin(), text.end()), 0};
  p.data.push_back(0);
  p.length = uint32_t((p.data.size() + 3) / 4 * 4);
  return p;
}

inline TestProperty Long(uint32_t key, uint32_t v) {
  TestProperty p{key, {}, 4};
  Put32(p.data, v);
  return p;
}

inline TestProperty Pair(uint32_t key, uint16_t a, uint16_t b) {
  return TestProperty{key, {uint8_t(a), uint8_t(a >> 8), uint8_t(b), uint8_t(b >> 8)}, 4};
}

inline TestProperty Short(uint32_t key, uint16_t v) {
  return TestProperty{key, {uint8_t(v), uint8_t(v >> 8)}, 2};
}

inline std::vector<uint8_t> BuildPipl(const std::vector<TestProperty>& props) {
  std::vector<uint8_t> b{1, 0};
  Put32(b, 0);
  Put32(b, uint32_t(props.size()));
  for (const TestProperty& p : props) {
    Put32(b, 0x3842494D);  // '8BIM'
    Put32(b, p.key);
    Put32(b, 0);
    Put32(b, p.length);
    b.insert(b.end(), p.data.begin(), p.data.end());
    while (b.size() % 4 != 2) b.push_back(0);
  }
  return b;
}
