#include <gtest/gtest.h>

#include "platform/Numbers.h"

using namespace vorta;

TEST(Numbers, ParseIntDef_acceptsDecimalAndBothHexPrefixes) {
  EXPECT_EQ(ParseIntDef(u"42", 7), 42);
  EXPECT_EQ(ParseIntDef(u" -5 ", 7), -5);
  EXPECT_EQ(ParseIntDef(u"0x10", 7), 16);
  EXPECT_EQ(ParseIntDef(u"$1F", 7), 31);
  EXPECT_EQ(ParseIntDef(u"0X1f", 7), 31);
}

TEST(Numbers, ParseIntDef_otherTextGivesDefault) {
  EXPECT_EQ(ParseIntDef(u"abc", 7), 7);
  EXPECT_EQ(ParseIntDef(u"", 7), 7);
  EXPECT_EQ(ParseIntDef(u"12abc", 7), 7);
  EXPECT_EQ(ParseIntDef(u"1.5", 7), 7);
  EXPECT_EQ(ParseIntDef(u"0x", 7), 7);
  EXPECT_EQ(ParseIntDef(u"--3", 7), 7);
  EXPECT_EQ(ParseIntDef(u"99999999999", 7), 7);
}

TEST(Numbers, ParseReal_pointWhateverTheLocaleAndOneDecimalCommaInFiles) {
  EXPECT_DOUBLE_EQ(ParseRealDef(u"7.25", 0), 7.25);
  EXPECT_DOUBLE_EQ(ParseRealDef(u"-150", 0), -150);
  EXPECT_DOUBLE_EQ(ParseRealDef(u"nan", 1), 1);
  EXPECT_DOUBLE_EQ(ParseRealDef(u"7.0x", 1), 1);
  // An operator's "7,00" is seven, never zero; anything more than one comma
  // standing for the point stays unread.
  EXPECT_DOUBLE_EQ(ParseRealDef(u" 7,00 ", 1), 7);
  EXPECT_DOUBLE_EQ(ParseRealDef(u"-0,5", 1), -0.5);
  EXPECT_DOUBLE_EQ(ParseRealDef(u"1,2,3", 1), 1);
  EXPECT_DOUBLE_EQ(ParseRealDef(u"1,234.5", 1), 1);
  EXPECT_DOUBLE_EQ(ParseRealDef(u",", 1), 1);
  // Dialogs that ask for a point keep refusing the comma.
  EXPECT_FALSE(TryParseReal(u"7,25"));
}

TEST(Numbers, FormatFixed_patternsAndNoNegativeZero) {
  EXPECT_EQ(FormatFixed(7.5, 2), "7.50");
  EXPECT_EQ(FormatFixed(123.456, 2), "123.46");
  EXPECT_EQ(FormatFixed(0, 2), "0.00");
  EXPECT_EQ(FormatFixed(-0.001, 2), "0.00");
  EXPECT_EQ(FormatFixed(-1.25, 1), "-1.3");  // halves away from zero, as displays do
  EXPECT_EQ(FormatHex4(0xAB), "00AB");
}

TEST(Numbers, RoundHalfEven_tiesGoToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
}

TEST(Numbers, FormatProcessName_expandsOnlyIntegerPatterns) {
  EXPECT_EQ(FormatProcessName("Ферм. %d", 3), "Ферм. 3");
  EXPECT_EQ(FormatProcessName("F%03d", 7), "F007");
  EXPECT_EQ(FormatProcessName("F%-3d|", 7), "F7  |");
  EXPECT_EQ(FormatProcessName("100%%", 7), "100%");
  EXPECT_EQ(FormatProcessName("plain", 7), "plain");
  // An operator's "%s" must never reach a printf-family function.
  EXPECT_EQ(FormatProcessName("bad %s", 7), "bad %s");
  EXPECT_EQ(FormatProcessName("two %d %d", 7), "two %d %d");
  EXPECT_EQ(FormatProcessName("end %", 7), "end %");
}
