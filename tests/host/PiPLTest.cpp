#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "Host/EntryPoint.h"
#include "Win/PiPLImage.h"

namespace {

// The resource as the host's own Windows tools lay it out, written out by hand byte for
// byte: the 13 properties up to the support address, then that address.
std::vector<uint8_t> ExpectedImage() {
  std::vector<uint8_t> bytes = {
      0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0d, 0x00, 0x00, 0x00,
      // 'kind' 'eFKT'
      0x4d, 0x49, 0x42, 0x38, 0x64, 0x6e, 0x69, 0x6b, 0, 0, 0, 0, 0x04, 0, 0, 0,
      0x54, 0x4b, 0x46, 0x65,
      // 'name' (27 characters)
      0x4d, 0x49, 0x42, 0x38, 0x65, 0x6d, 0x61, 0x6e, 0, 0, 0, 0, 0x1c, 0, 0, 0, 0x1b};
  const std::string name = "Vantrel Advanced Distortion";
  bytes.insert(bytes.end(), name.begin(), name.end());
  // 'catg' (15 characters)
  for (int b : {0x4d, 0x49, 0x42, 0x38, 0x67, 0x74, 0x61, 0x63, 0, 0, 0, 0, 0x10, 0, 0, 0, 0x0f}) {
    bytes.push_back(static_cast<uint8_t>(b));
  }
  const std::string category = "Halvard Vantrel";
  bytes.insert(bytes.end(), category.begin(), category.end());
  // '8664' entry point, NUL and one pad byte
  for (int b : {0x4d, 0x49, 0x42, 0x38, 0x34, 0x36, 0x36, 0x38, 0, 0, 0, 0, 0x10, 0, 0, 0}) {
    bytes.push_back(static_cast<uint8_t>(b));
  }
  const std::string entry = "EntryPointFunc";
  bytes.insert(bytes.end(), entry.begin(), entry.end());
  bytes.push_back(0);
  bytes.push_back(0);
  const int numbers[] = {
      // 'ePVR' 2.0
      0x4d, 0x49, 0x42, 0x38, 0x52, 0x56, 0x50, 0x65, 0, 0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0,
      // 'eSVR' 13.28
      0x4d, 0x49, 0x42, 0x38, 0x52, 0x56, 0x53, 0x65, 0, 0, 0, 0, 4, 0, 0, 0, 0x0d, 0, 0x1c, 0,
      // 'eVER' 0x000A0601
      0x4d, 0x49, 0x42, 0x38, 0x52, 0x45, 0x56, 0x65, 0, 0, 0, 0, 4, 0, 0, 0, 0x01, 0x06, 0x0a, 0,
      // 'eINF' 0: length 2, four bytes
      0x4d, 0x49, 0x42, 0x38, 0x46, 0x4e, 0x49, 0x65, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0,
      // 'eGLO' 0x02000040
      0x4d, 0x49, 0x42, 0x38, 0x4f, 0x4c, 0x47, 0x65, 0, 0, 0, 0, 4, 0, 0, 0, 0x40, 0, 0, 0x02,
      // 'eGL2' 0x08001408
      0x4d, 0x49, 0x42, 0x38, 0x32, 0x4c, 0x47, 0x65, 0, 0, 0, 0, 4, 0, 0, 0, 0x08, 0x14, 0, 0x08,
      // 'eMNA' (20 characters, 3 pad bytes)
      0x4d, 0x49, 0x42, 0x38, 0x41, 0x4e, 0x4d, 0x65, 0, 0, 0, 0, 0x18, 0, 0, 0, 0x14};
  bytes.insert(bytes.end(), std::begin(numbers), std::end(numbers));
  const std::string match = "Halvard VtAFXAdvLens";
  bytes.insert(bytes.end(), match.begin(), match.end());
  const int tail[] = {
      0, 0, 0,
      // 'aeFL' 8
      0x4d, 0x49, 0x42, 0x38, 0x4c, 0x46, 0x65, 0x61, 0, 0, 0, 0, 4, 0, 0, 0, 8, 0, 0, 0,
      // 'eURL' (31 characters, no padding)
      0x4d, 0x49, 0x42, 0x38, 0x4c, 0x52, 0x55, 0x65, 0, 0, 0, 0, 0x20, 0, 0, 0, 0x1f};
  bytes.insert(bytes.end(), std::begin(tail), std::end(tail));
  const std::string url = "https://vantrel.example/support";
  bytes.insert(bytes.end(), url.begin(), url.end());
  return bytes;
}

uint32_t ReadU32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

TEST(PiPL, BytesAreTheHostsLayout) {
  const std::vector<uint8_t> expected = ExpectedImage();
  ASSERT_EQ(expected.size(), 366u);
  EXPECT_EQ(BuildPiPLImage(), expected);
}

// What the host reads before loading the module equals what global set-up then reports.
TEST(PiPL, VersionAndFlagsAreThoseOfGlobalSetup) {
  const std::vector<uint8_t> image = BuildPiPLImage();
  FakeHost host;
  ASSERT_EQ(EntryPointFunc(PF_Cmd_GLOBAL_SETUP, &host.in_data, &host.out_data, nullptr, nullptr,
                           nullptr),
            PF_Err_NONE);
  EXPECT_EQ(ReadU32(image, 178 + 16), host.out_data.my_version);
  EXPECT_EQ(ReadU32(image, 218 + 16), static_cast<uint32_t>(host.out_data.out_flags));
  EXPECT_EQ(ReadU32(image, 238 + 16), static_cast<uint32_t>(host.out_data.out_flags2));
}

TEST(PiPL, FileBesideTheModuleHoldsTheSameBytes) {
#ifdef _WIN32
  GTEST_SKIP() << "a Windows module carries its property list as a resource; "
                  "tests/windows compares it with the Linux module's file";
#endif
  std::ifstream file(std::string(VTAFX_MODULE_DIR) + "/VtAFXAdvLens.pipl", std::ios::binary);
  ASSERT_TRUE(file.good());
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                   std::istreambuf_iterator<char>()};
  EXPECT_EQ(bytes, BuildPiPLImage());
}

}  // namespace
