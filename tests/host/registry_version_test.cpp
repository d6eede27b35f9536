#include <gtest/gtest.h>

#include "detect/component_detection.h"

namespace velko {
namespace {

TEST(RegistryVersionText, PlainValue) {
  EXPECT_EQ(registry_version_from_text("120.0.2210.91"), "120.0.2210.91");
  EXPECT_EQ(registry_version_from_text("  \t120.0.2210.91\r\n"), "120.0.2210.91");
}

TEST(RegistryVersionText, FirstDigitsAndDotsPieceWins) {
  // What reg.exe prints: the key, the value name, the type, the data.
  const std::string output =
      "\r\nHKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}\r\n"
      "    pv    REG_SZ    119.0.2151.58\r\n\r\n";
  EXPECT_EQ(registry_version_from_text(output), "119.0.2151.58");
  EXPECT_EQ(registry_version_from_text("1.2 3.4"), "1.2");
}

TEST(RegistryVersionText, ZeroVersionMeansAbsentEvenWithALaterVersion) {
  EXPECT_EQ(registry_version_from_text("0.0.0.0"), std::nullopt);
  EXPECT_EQ(registry_version_from_text("0.0.0.0 120.0.1.2"), std::nullopt);
  EXPECT_EQ(registry_version_from_text("0.0.0.0.0"), "0.0.0.0.0");  // only the exact text is special
}

TEST(RegistryVersionText, PiecesThatAreNoVersion) {
  EXPECT_EQ(registry_version_from_text(""), std::nullopt);
  EXPECT_EQ(registry_version_from_text("   \n"), std::nullopt);
  EXPECT_EQ(registry_version_from_text("120"), std::nullopt);                // no dot
  EXPECT_EQ(registry_version_from_text("v120.0.1.2"), std::nullopt);         // a letter
  EXPECT_EQ(registry_version_from_text("120.0.1.2-beta 121.0.0.1"), "121.0.0.1");
  EXPECT_EQ(registry_version_from_text("\xFF" "1.2 3.4"), "3.4");            // invalid UTF-8 piece skipped
  EXPECT_EQ(registry_version_from_text("１２.３"), std::nullopt);             // full-width digits are not digits
  EXPECT_EQ(registry_version_from_text("."), ".");                           // digits-and-dots holds
  // Only ASCII white space separates; a no-break space does not.
  EXPECT_EQ(registry_version_from_text("1.2\xC2\xA0" "3.4"), std::nullopt);
  EXPECT_EQ(registry_version_from_text("1.2\f3.4"), "1.2");
}

}  // namespace
}  // namespace velko
