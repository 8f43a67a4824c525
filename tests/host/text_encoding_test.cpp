// Tests of the UTF-8, code page 932 and UTF-16LE helpers.
#include "core/host/text_encoding.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/host/host_error.h"

namespace tessarin::host {
namespace {

int ErrorNumberOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const HostError& e) {
    return e.number();
  }
  return 0;
}

TEST(Utf8, AcceptsWellFormedBoundaries) {
  for (const char* s :
       {"", "plain", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
        "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "漢字𠮷😀"}) {
    EXPECT_TRUE(IsValidUtf8(s)) << s;
  }
}

TEST(Utf8, RejectsMalformedSequences) {
  for (const char* s :
       {"\x80", "a\xBF", "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xE6\xBC", "x\xE6\xBCx", "\xF0\x9F\x98",
        "\xE3\x41\x81", "\xE3\x81\xC1", "\xEF\xBF", "\xED\xBF\xBF"}) {
    EXPECT_FALSE(IsValidUtf8(s)) << testing::PrintToString(std::string(s));
  }
}

TEST(Utf8, EscapingShowsEveryByteThatIsNotUtf8AndKeepsTheRest) {
  EXPECT_EQ(EscapeInvalidUtf8("漢字/a\\b.xlsx"), "漢字/a\\b.xlsx");  // valid: unchanged
  // "漢字" in Shift_JIS, then a truncated sequence and a literal backslash.
  EXPECT_EQ(EscapeInvalidUtf8("/d/\x8a\xbf\x8e\x9a.xlsx"), "/d/\\x8A\\xBF\\x8E\\x9A.xlsx");
  EXPECT_EQ(EscapeInvalidUtf8("a\\x41\xe6\xbc"), "a\\\\x41\\xE6\\xBC");
  EXPECT_TRUE(IsValidUtf8(EscapeInvalidUtf8("\xff\xfe\xc0\x80\xed\xa0\x80")));
}

TEST(Utf8, CodePointsCountCharactersNotBytes) {
  EXPECT_EQ(CodePoints("a漢𠮷"), (std::vector<char32_t>{U'a', U'漢', U'𠮷'}));
  EXPECT_EQ(Utf8Length("a漢𠮷"), 3u);
  EXPECT_EQ(Utf8Length(""), 0u);
  EXPECT_EQ(ToUtf8(CodePoints("ﾃｽﾄ用紙 【40】")), "ﾃｽﾄ用紙 【40】");
}

TEST(Utf8, MalformedBytesCountOneEachAsReplacement) {
  EXPECT_EQ(CodePoints("a\xE6\xBC"
                       "b\xFF"),
            (std::vector<char32_t>{U'a', 0xFFFD, 0xFFFD, U'b', 0xFFFD}));
  EXPECT_EQ(Utf8Length("\xF0\x9F\x98"), 3u);
}

TEST(Utf8, AppendReplacesSurrogatesAndOutOfRange) {
  std::string out;
  AppendUtf8(out, 0xD800);
  AppendUtf8(out, 0x110000);
  AppendUtf8(out, 0x10FFFF);
  EXPECT_EQ(out, "\uFFFD\uFFFD\U0010FFFF");
}

TEST(Utf8, MidCountsFromOneInCharacters) {
  EXPECT_EQ(Utf8Mid("漢字テスト", 2, 2), "字テ");
  EXPECT_EQ(Utf8Mid("漢字テスト", 1, 1), "漢");
  EXPECT_EQ(Utf8Mid("漢字テスト", 0, 1), "漢");
  EXPECT_EQ(Utf8Mid("漢字テスト", 4, 99), "スト");
  EXPECT_EQ(Utf8Mid("漢字テスト", 6, 1), "");
  EXPECT_EQ(Utf8Mid("𠮷野家", 2, 1), "野");
  EXPECT_EQ(Utf8Offset("𠮷野家", 1), 4u);
  EXPECT_EQ(Utf8Offset("𠮷野家", 9), std::string("𠮷野家").size());
}

TEST(Cp932, DecodesWindowsJapaneseText) {
  // あ, backslash (not a yen sign), tilde, half-width ｱ, ～, ①, 亜
  EXPECT_EQ(Cp932ToUtf8("\x82\xA0\x5C\x7E\xB1\x81\x60\x87\x40\x88\x9F"), "あ\\~ｱ～①亜");
  EXPECT_EQ(Cp932ToUtf8(""), "");
}

TEST(Cp932, UndecodableBytesAreTypeMismatch) {
  for (const char* s : {"abc\x82", "\x81\x20", "\xA0", "\xFD", "\x80"}) {
    EXPECT_EQ(ErrorNumberOf([&] { Cp932ToUtf8(s); }), kErrTypeMismatch)
        << testing::PrintToString(std::string(s));
    EXPECT_FALSE(TryCp932ToUtf8(s).has_value());
  }
  try {
    Cp932ToUtf8("abc\x81\x20");
    FAIL();
  } catch (const HostError& e) {
    EXPECT_NE(e.description().find("offset 3"), std::string::npos) << e.description();
  }
}

TEST(Cp932, EncodesAndRoundTrips) {
  const std::string text = "ミラトス_設定値.ini C:\\Users\\太郎 ｶﾅ①";
  const auto bytes = Utf8ToCp932(text);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(bytes->substr(0, 2), "\x83\x7E");  // ミ
  EXPECT_LT(bytes->size(), text.size());
  EXPECT_EQ(Cp932ToUtf8(*bytes), text);
}

TEST(Cp932, CharactersWithoutCp932FormGiveNothing) {
  EXPECT_FALSE(Utf8ToCp932("𠮷野家").has_value());
  EXPECT_FALSE(Utf8ToCp932("test 😀").has_value());
  EXPECT_FALSE(Utf8ToCp932("한국어").has_value());
  EXPECT_EQ(Utf8ToCp932(""), std::string());
  EXPECT_EQ(ErrorNumberOf([] { Utf8ToCp932("\xFF"); }), kErrTypeMismatch);
}

TEST(Utf16Le, RoundTripsSurrogatePairs) {
  const std::string bytes("a\0\x22\x6F\x42\xD8\xB7\xDF", 8);  // a 漢 𠮷
  EXPECT_EQ(Utf16LeToUtf8(bytes), "a漢𠮷");
  EXPECT_EQ(Utf8ToUtf16Le("a漢𠮷"), bytes);
  EXPECT_EQ(Utf16LeToUtf8(""), "");
}

TEST(Utf16Le, MalformedInputIsTypeMismatch) {
  EXPECT_EQ(ErrorNumberOf([] { Utf16LeToUtf8(std::string("a\0b", 3)); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { Utf16LeToUtf8(std::string("\x42\xD8", 2)); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] {
              Utf16LeToUtf8(
                  std::string("\x42\xD8"
                              "a\0",
                              4));
            }),
            kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { Utf16LeToUtf8(std::string("\xB7\xDF", 2)); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { Utf8ToUtf16Le("\xC0\x80"); }), kErrTypeMismatch);
}

}  // namespace
}  // namespace tessarin::host
