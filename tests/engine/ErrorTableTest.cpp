#include "engine/ErrorTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Text(uint32_t code) { return DirectXErrorText(static_cast<HRESULT>(code)); }

// Texts whose wording is fixed to the letter, including their slips
// ("an vertex type", a missing full stop).
TEST(DirectXErrorText, FixedTextsAreReproducedExactly) {
  struct Row {
    uint32_t code;
    const char* text;
  };
  const Row rows[] = {
      {0x80004001u, "DirectX Error:\nThe operation is not supported"},
      {0x80004005u, "DirectX Error:\nThere is an undefined error condition."},
      {0x80040154u, "DirectX Error (DXTransform):\nA specified class is not registered in the registration database."},
      {0x8007000Eu, "DirectX Error:\nNot enough memory to complete the operation."},
      {0x80070057u, "DirectX Error:\nOne or more of the parameters passed to the method are incorrect."},
      {0x8876017Cu, "DirectX Error:\nDirectDraw does not have enough display memory to perform the operation."},
      {0x887601C2u, "DirectX Error:\nAccess to the surface is refused because the surface memory is gone. The DirectDrawSurface object representing this surface should have the IDirectDrawSurface2::Restore method called on it."},
      {0x887602E1u, "DirectX Error:\nThe caller has specified an vertex type."},
      {0x8876030Fu, "DirectX Error:\nOut of memory."},
      {0x88760313u, "DirectX Error:\nFile cannot be opened."},
      {0x88760314u, "DirectX Error:\nData file is corrupt"},
      {0x88760315u, "DirectX Error:\nDevice is not compatible with renderer."},
      {0x88760353u, "DirectX Error (File IO):\nParameter is invalid for saving."},
      {0x88760800u, "DirectX Error:\nThe caller has specified an vertex format."},
      {0x887A0003u, "DirectX Error (DXTransform):\nThe caller has specified an unsupported pixel format."},
      {0x887A0008u, "DirectX Error (DXTransform):\nAn Internet Explorer DLL required to run this method was not found.\nThe possible cause may be that Internet Explorer 4.x or later is not installed."},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Text(row.code), row.text) << std::hex << row.code;
  }
}

// Neighbours of listed codes, the DirectDraw gaps, success codes and the
// extremes of the range all fall back to the unknown-error text.
TEST(DirectXErrorText, UnlistedCodesGiveTheUnknownText) {
  const uint32_t unlisted[] = {0x00000000u, 0x00000001u, 0x12345678u, 0x80004006u,
                               0x88760000u, 0x88760241u, 0x8876031Au, 0x88760321u,
                               0x88760351u, 0x8876036Du, 0x887A0000u, 0x887A0009u,
                               0x80070001u, 0x80070004u, 0x8007010Cu,
                               0x7FFFFFFFu, 0xFFFFFFFFu};
  for (uint32_t code : unlisted) {
    EXPECT_EQ(Text(code), "DirectX Error:\nUnknown DirectX Error.") << std::hex << code;
  }
}

// The codes of the DirectX documentation, then the codes this program's file
// API, readers and writers return besides them; all in ascending order.
TEST(DirectXErrorCodes, ListsExactlyTheReportedCodesInAscendingOrder) {
  std::vector<uint32_t> expected = {
      0x80004001, 0x80004005, 0x80040154, 0x800401F0, 0x8007000E, 0x80070057, 0x88760005, 0x8876000A,
      0x88760014, 0x88760028, 0x88760037, 0x8876005A, 0x8876005F, 0x88760064, 0x8876006E, 0x88760078,
      0x88760082, 0x88760091, 0x88760096, 0x887600A0, 0x887600AA, 0x887600B4, 0x887600CD, 0x887600D2,
      0x887600D4, 0x887600D7, 0x887600DC, 0x887600DE, 0x887600E1, 0x887600E6, 0x887600F0, 0x887600FA,
      0x887600FF, 0x88760104, 0x88760122, 0x88760136, 0x8876013C, 0x8876013D, 0x88760140, 0x8876014A,
      0x8876014F, 0x88760154, 0x8876015E, 0x88760168, 0x8876017C, 0x8876017E, 0x88760180, 0x88760183,
      0x88760190, 0x8876019A, 0x887601A4, 0x887601AE, 0x887601B3, 0x887601B8, 0x887601C2, 0x887601CC,
      0x887601D6, 0x887601E0, 0x887601EA, 0x887601FE, 0x88760208, 0x88760219, 0x8876021C, 0x88760230,
      0x88760231, 0x88760232, 0x88760233, 0x88760234, 0x88760235, 0x88760236, 0x88760237, 0x88760238,
      0x88760239, 0x8876023A, 0x8876023B, 0x8876023C, 0x8876023D, 0x8876023E, 0x8876023F, 0x88760240,
      0x88760242, 0x88760243, 0x88760244, 0x88760245, 0x88760246, 0x88760247, 0x88760248, 0x88760249,
      0x8876024A, 0x8876024B, 0x8876024C, 0x8876024D, 0x8876024E, 0x8876024F, 0x88760250, 0x8876026C,
      0x88760280, 0x887602E1, 0x8876030D, 0x8876030E, 0x8876030F, 0x88760310, 0x88760311, 0x88760312,
      0x88760313, 0x88760314, 0x88760315, 0x88760316, 0x88760317, 0x88760318, 0x88760319, 0x8876031C,
      0x8876031D, 0x8876031E, 0x8876031F, 0x88760320, 0x88760324, 0x88760325, 0x88760353, 0x88760800,
      0x887A0001, 0x887A0002, 0x887A0003, 0x887A0004, 0x887A0005, 0x887A0006, 0x887A0007, 0x887A0008,
  };
  ASSERT_EQ(expected.size(), 128u);
  // E_NOINTERFACE and E_POINTER, the file-system codes, the DirectX file codes.
  expected.insert(expected.end(), {0x80004002, 0x80004003, 0x80070002, 0x80070003, 0x80070005, 0x80070013,
                                   0x8007001D, 0x8007001E, 0x80070070, 0x800700CE, 0x8007010B});
  for (uint32_t c = 0x88760352; c <= 0x8876036C; ++c)
    if (c != 0x88760353) expected.push_back(c);
  std::sort(expected.begin(), expected.end());
  std::vector<uint32_t> listed;
  for (HRESULT code : DirectXErrorCodes()) listed.push_back(static_cast<uint32_t>(code));
  EXPECT_EQ(listed, expected);
}

// Every listed code has its own one-sentence description under the heading
// of its family, and no two codes share a description.
TEST(DirectXErrorText, EveryListedCodeHasItsOwnDescriptionUnderTheRightHeading) {
  std::set<std::string> descriptions;
  for (HRESULT code : DirectXErrorCodes()) {
    const uint32_t u = static_cast<uint32_t>(code);
    const bool transform = u == 0x80040154u || (u >= 0x887A0001u && u <= 0x887A0008u);
    const bool fileIo = (u >= 0x88760352u && u <= 0x8876036Cu) || (u >= 0x80070001u && u <= 0x8007FFFFu &&
                                                                    u != 0x8007000Eu && u != 0x80070057u);
    const std::string heading = transform ? "DirectX Error (DXTransform):\n"
                                : fileIo  ? "DirectX Error (File IO):\n"
                                          : "DirectX Error:\n";
    const std::string text = DirectXErrorText(code);
    SCOPED_TRACE(testing::Message() << std::hex << u << ": " << text);
    ASSERT_EQ(text.compare(0, heading.size(), heading), 0);
    const std::string description = text.substr(heading.size());
    EXPECT_GE(description.size(), 10u);
    EXPECT_NE(description, "Unknown DirectX Error.");
    EXPECT_TRUE(descriptions.insert(description).second) << "description used twice";
  }
}

}  // namespace
