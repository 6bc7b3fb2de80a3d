#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Pipl.h"
#include "Win/PiPLImage.h"

namespace {

// The effect's own list damaged one way at a time: each is refused with its reason.
TEST(Pipl, RefusesDamagedLists) {
  const std::vector<uint8_t> good = BuildPiPLImage();
  const auto at = [&good](const std::string& text) {
    return size_t(std::search(good.begin(), good.end(), text.begin(), text.end()) - good.begin());
  };
  const struct {
    const char* message;
    size_t at;          // where `patch` overwrites the list
    std::string patch;  // empty: the list ends at `at`
  } cases[] = {{"shorter", 0, ""},
               {"runs past the end", good.size() - 1, ""},
               {"word 1", 0, "\2"},
               {"version", 2, "\1"},
               {"runs past the end", 6, "\16"},  // one property more than there are
               {"bytes follow", 6, "\14"},
               {"runs past the end", at("eman") + 10, "\1"},  // the name's length field
               {"longer than its data", at("eman") + 12, "\34"},
               {"no terminator", at("EntryPointFunc") + 14, "xx"},
               {"expected 4", at("REVe") + 8, "\2"},  // 'eVER' of two bytes
               {"twice", at("gtac"), "eman"}};        // 'catg' renamed 'name'
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes = good;
    if (c.patch.empty()) bytes.resize(c.at);
    std::copy(c.patch.begin(), c.patch.end(), bytes.begin() + long(c.at));
    harness::PiplInfo info;
    std::string error;
    EXPECT_FALSE(harness::DecodePipl(bytes.data(), bytes.size(), info, error)) << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.message << ": " << error;
  }
}

}  // namespace
