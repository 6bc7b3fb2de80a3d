#include <gtest/gtest.h>

#include "Pipl.h"
#include "PiplBytes.h"

using harness::DecodePipl;
using harness::FourCC;
using harness::PiplInfo;

namespace {

// The effect's property list as the host reads it on Windows, byte for byte.
const char* const kExampleHex =
    "0100000000000d0000004d494238646e"
    "696b0000000004000000544b46654d49"
    "4238656d616e000000001c0000001b56"
    "616e7472656c20416476616e63656420"
    "446973746f7274696f6e4d4942386774"
    "616300000000100000000f48616c7661"
    "72642056616e7472656c4d4942383436"
    "36380000000010000000456e74727950"
    "6f696e7446756e6300004d4942385256"
    "50650000000004000000020000004d49"
    "42385256536500000000040000000d00"
    "1c004d49423852455665000000000400"
    "000001060a004d494238464e49650000"
    "000002000000000000004d4942384f4c"
    "47650000000004000000400000024d49"
    "4238324c476500000000040000000814"
    "00084d494238414e4d65000000001800"
    "00001448616c76617264205674414658"
    "4164764c656e730000004d4942384c46"
    "65610000000004000000080000004d49"
    "42384c525565000000001c0000001b68"
    "747470733a2f2f6578616d706c652e63"
    "6f6d2f737570706f7274";

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

TEST(Pipl, DecodesTheEffectsListByteForByte) {
  const std::vector<uint8_t> bytes = FromHex(kExampleHex);
  ASSERT_EQ(bytes.size(), 362u);
  PiplInfo info;
  std::string error;
  ASSERT_TRUE(DecodePipl(bytes.data(), bytes.size(), info, error)) << error;
  ASSERT_EQ(info.properties.size(), 13u);
  const uint32_t keys[13] = {FourCC("kind"), FourCC("name"), FourCC("catg"), FourCC("8664"),
                             FourCC("ePVR"), FourCC("eSVR"), FourCC("eVER"), FourCC("eINF"),
                             FourCC("eGLO"), FourCC("eGL2"), FourCC("eMNA"), FourCC("aeFL"),
                             FourCC("eURL")};
  const uint32_t lengths[13] = {4, 28, 16, 16, 4, 4, 4, 2, 4, 4, 24, 4, 28};
  for (size_t i = 0; i < 13; ++i) {
    EXPECT_EQ(info.properties[i].vendor, 0x3842494Du) << i;
    EXPECT_EQ(info.properties[i].key, keys[i]) << i;
    EXPECT_EQ(info.properties[i].length, lengths[i]) << i;
  }
  EXPECT_EQ(info.kind, 0x65464B54u);
  EXPECT_EQ(info.name, "Vantrel Advanced Distortion");
  EXPECT_EQ(info.category, "Halvard Vantrel");
  EXPECT_EQ(info.entryPoint, "EntryPointFunc");
  EXPECT_EQ(info.piplMajor, 2);
  EXPECT_EQ(info.piplMinor, 0);
  EXPECT_EQ(info.specMajor, 13);
  EXPECT_EQ(info.specMinor, 28);
  EXPECT_EQ(info.effectVersion, 0x000A0601u);
  EXPECT_EQ(info.infoFlags, 0u);
  EXPECT_EQ(info.outFlags, 0x02000040);
  EXPECT_EQ(info.outFlags2, 0x08001408);
  EXPECT_EQ(info.matchName, "Halvard VtAFXAdvLens");
  EXPECT_EQ(info.reservedInfo, 8);
  EXPECT_EQ(info.supportUrl, "https://example.com/support");
}

TEST(Pipl, TestWriterMatchesTheReferenceBytes) {
  const std::vector<uint8_t> built = BuildPipl(
      {Long(FourCC("kind"), FourCC("eFKT")), Pascal(FourCC("name"), "Vantrel Advanced Distortion"),
       Pascal(FourCC("catg"), "Halvard Vantrel"), CString(FourCC("8664"), "EntryPointFunc"),
       Pair(FourCC("ePVR"), 2, 0), Pair(FourCC("eSVR"), 13, 28), Long(FourCC("eVER"), 0x000A0601),
       Short(FourCC("eINF"), 0), Long(FourCC("eGLO"), 0x02000040),
       Long(FourCC("eGL2"), 0x08001408), Pascal(FourCC("eMNA"), "Halvard VtAFXAdvLens"),
       Long(FourCC("aeFL"), 8), Pascal(FourCC("eURL"), "https://example.com/support")});
  EXPECT_EQ(built, FromHex(kExampleHex));
}

TEST(Pipl, RefusesDamagedLists) {
  const std::vector<uint8_t> good = BuildPipl(
      {Long(FourCC("kind"), FourCC("eFKT")), Pascal(FourCC("name"), "Ab"),
       CString(FourCC("8664"), "Entry")});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* message;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}, "shorter"});
  cases.push_back({"prefix word", good, "word 1"});
  cases.back().bytes[0] = 2;
  cases.push_back({"version", good, "version"});
  cases.back().bytes[2] = 1;
  cases.push_back({"count too high", good, "runs past the end"});
  cases.back().bytes[6] = 4;
  cases.push_back({"count too low", good, "bytes follow"});
  cases.back().bytes[6] = 2;
  cases.push_back({"truncated", good, "runs past the end"});
  cases.back().bytes.resize(good.size() - 1);
  cases.push_back({"length beyond the end", good, "runs past the end"});
  cases.back().bytes[10 + 20 + 12] = 200;  // length field of 'name'
  cases.push_back({"pascal length beyond data", good, "longer than its data"});
  cases.back().bytes[10 + 20 + 16] = 9;  // length byte of "Ab"
  cases.push_back({"C string without terminator",
                   BuildPipl({TestProperty{FourCC("8664"), {'a', 'b', 'c', 'd'}, 4}}),
                   "no terminator"});
  cases.push_back({"numeric of wrong size",
                   BuildPipl({TestProperty{FourCC("eVER"), {1, 2}, 2}}), "expected 4"});
  cases.push_back({"twice", BuildPipl({Long(FourCC("kind"), 1), Long(FourCC("kind"), 2)}),
                   "twice"});
  for (const Case& c : cases) {
    PiplInfo info;
    std::string error;
    EXPECT_FALSE(DecodePipl(c.bytes.data(), c.bytes.size(), info, error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }
  PiplInfo info;
  std::string error;
  EXPECT_TRUE(DecodePipl(good.data(), good.size(), info, error)) << error;
  EXPECT_EQ(info.name, "Ab");
  EXPECT_EQ(info.entryPoint, "Entry");
}

}  // namespace
