// The pull scanner: the same tokens whole or streamed in tiny pieces, and refusals of bad XML.
#include <cmath>
#include <cstring>
#include <memory>

#include "core/host/host_error.h"
#include "core/ooxml/value_text.h"
#include "core/ooxml/xml_util.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

std::string Tokens(XmlScanner& sc) {
  std::string out;
  for (;;) {
    const auto t = sc.Next();
    if (t == XmlScanner::kEof) return out;
    if (t == XmlScanner::kStart) {
      out += "<" + std::string(sc.name());
      for (const auto& a : sc.attrs()) out += " " + std::string(a.name) + "=" + Unescape(a.raw);
      out += sc.self_closing() ? "/>" : ">";
    } else if (t == XmlScanner::kEnd) {
      out += "</" + std::string(sc.name()) + ">";
    } else {
      out +=
          "[" + (sc.text_is_cdata() ? std::string(sc.raw_text()) : Unescape(sc.raw_text())) + "]";
    }
  }
}

// A source that hands out `step` bytes at a time, so every token is cut somewhere.
XmlScanner::Source Trickle(const std::string& xml, size_t step) {
  auto pos = std::make_shared<size_t>(0);
  return [&xml, step, pos](char* out, size_t size) {
    const size_t n = std::min({step, size, xml.size() - *pos});
    std::memcpy(out, xml.data() + *pos, n);
    *pos += n;
    return n;
  };
}

const std::string kDoc =
    "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- a > comment --><x:root xmlns:x=\"urn:x\" a='1 > "
    "0' b=\"&lt;&amp;&#x41;\">"
    "text &amp; more\r\nline<x:c r=\"A1\"/><![CDATA[<raw> & ]]><?pi data?><d>  </d></x:root>\n";

TEST(XmlScanner, StreamedInAnyPiecesGivesTheSameTokens) {
  XmlScanner whole(kDoc, "f.xlsx", "p.xml");
  const std::string expected = Tokens(whole);
  EXPECT_EQ(
      expected,
      "<root x=urn:x a=1 > 0 b=<&A>[text & more\nline]<c r=A1/></c>[<raw> & ]<d>[  ]</d></root>")
      << expected;
  for (size_t step : {1, 2, 3, 5, 7, 64}) {
    XmlScanner streamed(Trickle(kDoc, step), "f.xlsx", "p.xml");
    EXPECT_EQ(Tokens(streamed), expected) << "pieces of " << step;
  }
}

TEST(XmlScanner, SimpleChildShortcutMatchesTheLongWay) {
  const std::string xml = "<r><c><v>12.5</v></c><c><v>a&amp;b</v></c><c><v>1</v><f>x</f></c></r>";
  XmlScanner sc(xml, "f", "p");
  sc.Next();
  std::string_view text;
  ASSERT_EQ(sc.Next(), XmlScanner::kStart);
  ASSERT_TRUE(sc.TrySimpleChild("v", text));
  EXPECT_EQ(text, "12.5");
  ASSERT_EQ(sc.Next(), XmlScanner::kStart);
  EXPECT_FALSE(sc.TrySimpleChild("v", text));  // an entity: the long way
  sc.SkipElement();
  ASSERT_EQ(sc.Next(), XmlScanner::kStart);
  EXPECT_FALSE(sc.TrySimpleChild("v", text));  // more than one child
  sc.SkipElement();
  EXPECT_EQ(sc.Next(), XmlScanner::kEnd);
  EXPECT_EQ(sc.Next(), XmlScanner::kEof);
}

TEST(XmlScanner, LeafShortcutTakesCommonCellsWhole) {
  const std::string xml = "<r><c r=\"A1\" t='s'><v>7</v></c><c r=\"B1\"/><c s=\"2\"></c><d/></r>";
  XmlScanner sc(xml, "f", "p");
  sc.Next();
  XmlScanner::Attr attrs[2];
  std::string_view text;
  bool has_text;
  ASSERT_EQ(sc.TryLeafElement("c", "v", attrs, 2, text, has_text), 2);
  EXPECT_EQ(attrs[0].name, "r");
  EXPECT_EQ(attrs[0].raw, "A1");
  EXPECT_EQ(attrs[1].raw, "s");
  EXPECT_TRUE(has_text);
  EXPECT_EQ(text, "7");
  ASSERT_EQ(sc.TryLeafElement("c", "v", attrs, 2, text, has_text), 1);
  EXPECT_FALSE(has_text);
  ASSERT_EQ(sc.TryLeafElement("c", "v", attrs, 2, text, has_text), 1);
  EXPECT_EQ(attrs[0].raw, "2");
  EXPECT_EQ(sc.TryLeafElement("c", "v", attrs, 2, text, has_text), -1);  // another element
  EXPECT_EQ(sc.depth(), 1);
  EXPECT_EQ(Tokens(sc), "<d/></d></r>");
}

// Whatever the shortcut refuses, the tokens read the long way are those of the whole element.
TEST(XmlScanner, LeafShortcutLeavesEverythingElseToTheLongWay) {
  for (const std::string cell :
       {"<c r=\"A1\" x:y=\"1\"><v>1</v></c>",       // a prefixed attribute
        "<c\tr=\"A1\"><v>1</v></c>",                // not a single space
        "<c r=\"A&amp;\"><v>1</v></c>",             // an entity in a value
        "<c r=\"A1\"><v>1&amp;2</v></c>",           // an entity in the text
        "<c r=\"A1\"><v>1</v><f>B1</f></c>",        // a second child
        "<c r=\"A1\"><is><t>x</t></is></c>",        // another child
        "<c a=\"1\" b=\"2\" c=\"3\"><v>1</v></c>",  // more attributes than asked for
        "<cc r=\"A1\"/>", "<c r=\"A1\"><v>1</v></c >", "<c r=\"A1\">\n<v>1</v></c>"}) {
    const std::string xml = "<r>" + cell + "</r>";
    XmlScanner sc(xml, "f", "p");
    sc.Next();
    XmlScanner::Attr attrs[2];
    std::string_view text;
    bool has_text;
    EXPECT_EQ(sc.TryLeafElement("c", "v", attrs, 2, text, has_text), -1) << cell;
    XmlScanner whole(xml, "f", "p");
    whole.Next();
    EXPECT_EQ(Tokens(sc), Tokens(whole)) << cell;
  }
  // The buffer of a streamed part ends inside the element: nothing is taken.
  const std::string xml = "<r><c r=\"A1\"><v>1</v></c></r>";
  for (size_t step = 1; step < xml.size(); ++step) {
    XmlScanner sc(Trickle(xml, step), "f", "p");
    sc.Next();
    XmlScanner::Attr attrs[2];
    std::string_view text;
    bool has_text;
    // Taken only once the first pieces hold the whole cell (its end at byte 25).
    const bool taken = sc.TryLeafElement("c", "v", attrs, 2, text, has_text) == 1;
    EXPECT_EQ(taken, step >= 25) << step;
    if (taken) {
      EXPECT_EQ(text, "1");
    }
    EXPECT_EQ(Tokens(sc).substr(0, 2), taken ? "</" : "<c") << step;
  }
}

TEST(XmlScanner, MalformedDocumentsAreRefusedWithTheirPlace) {
  const std::pair<std::string, std::string> cases[] = {
      {"foo<a/>", "text outside the root element"},
      {"<a><b></a>", "does not match"},
      {"<a>", "ends inside <a>"},
      {"<a x=1/>", "unquoted attribute value"},
      {"<a>&bogus;</a>", "unknown entity"},
      {"<a/><b/>", "a second root element"},
      {"", "no root element"},
      {"<a>\n\n<b x=\"1\"</a>", "line 3"},
      {"\xFF\xFE<\0a\0/\0>\0", "not UTF-8"},
  };
  for (const auto& [xml, why] : cases) {
    for (bool streamed : {false, true}) {
      try {
        std::unique_ptr<XmlScanner> sc =
            streamed ? std::make_unique<XmlScanner>(Trickle(xml, 1), "book.xlsx", "xl/part.xml")
                     : std::make_unique<XmlScanner>(xml, "book.xlsx", "xl/part.xml");
        while (sc->Next() != XmlScanner::kEof) {
          if (sc->Next() == XmlScanner::kText) Unescape(sc->raw_text(), sc.get());
        }
        ADD_FAILURE() << "accepted " << xml;
      } catch (const host::HostError& e) {
        EXPECT_EQ(e.number(), 1004);
        EXPECT_NE(e.description().find(why), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("book.xlsx, part xl/part.xml"), std::string::npos)
            << e.description();
      }
    }
  }
}

TEST(XmlEscapes, CellTextSurvivesControlCharactersAndLiteralEscapes) {
  const std::string text = std::string("a\rb\x01") + "c_x0041_d\te\nf<&>";
  std::string xml;
  AppendCellText(xml, text);
  EXPECT_EQ(xml, "a_x000D_b_x0001_c_x005F_x0041_d\te\nf&lt;&amp;&gt;");
  EXPECT_EQ(DecodeXmlEscapes(Unescape(xml)), text);
  EXPECT_EQ(DecodeXmlEscapes("_xD83D__xDE00_"), "\xF0\x9F\x98\x80");  // a surrogate pair
}

// Escaping what XML could hold would make other programs read "_x007F_" as seven characters.
TEST(XmlEscapes, OnlyWhatXmlCannotHoldIsEscaped) {
  const std::string text =
      "a\x7F"
      "b\xC2\x85"
      "c\xEF\xBF\xBE"
      "d\xEF\xBF\xBF"
      "e\xEF\xBF\xBD";
  std::string xml;
  AppendCellText(xml, text);
  EXPECT_EQ(xml,
            "a\x7F"
            "b\xC2\x85"
            "c_xFFFE_d_xFFFF_e\xEF\xBF\xBD");
  EXPECT_EQ(DecodeXmlEscapes(Unescape(xml)), text);
  EXPECT_EQ(DecodeXmlEscapes("x_x007F_y"), "x\x7Fy");  // as other writers store it
}

// Long texts are copied in runs: what breaks a run must be written at its own place.
TEST(XmlEscapes, RunsOfPlainTextKeepTheirEscapesInPlace) {
  const std::string text =
      "漢字<かな>_x0041_x_y\xE6\xBC"  // a kanji cut short
      "字\x80語\xEF\xBF\xBE終&"       // a stray continuation byte, U+FFFE
      "\xE3\x81";                     // a truncated end
  std::string xml = "<t>";
  AppendCellText(xml, text);
  EXPECT_EQ(
      xml,
      "<t>漢字&lt;かな&gt;_x005F_x0041_x_y\xEF\xBF\xBD\xEF\xBF\xBD字\xEF\xBF\xBD語_xFFFE_終&amp;"
      "\xEF\xBF\xBD\xEF\xBF\xBD");
  const std::string plain = std::string(100000, 'a') + "漢字";
  xml.clear();
  AppendCellText(xml, plain);
  EXPECT_EQ(xml, plain);
}

TEST(References, ParseAndPrintAtTheSheetEdges) {
  int32_t r, c;
  ASSERT_TRUE(ParseCellRef("XFD1048576", r, c));
  EXPECT_EQ(r, host::kMaxRows);
  EXPECT_EQ(c, host::kMaxColumns);
  EXPECT_FALSE(ParseCellRef("XFE1", r, c));
  EXPECT_FALSE(ParseCellRef("A1048577", r, c));
  EXPECT_FALSE(ParseCellRef("A0", r, c));
  EXPECT_FALSE(ParseCellRef("1A", r, c));
  EXPECT_FALSE(ParseCellRef("A12345678", r, c));
  for (const char* ref : {"AB012", "ab12", "$AB$12", "AB12"}) {
    ASSERT_TRUE(ParseCellRef(ref, r, c)) << ref;
    EXPECT_EQ(r, 12) << ref;
    EXPECT_EQ(c, 28) << ref;
  }
  EXPECT_EQ(CellRefText(1048576, 16384), "XFD1048576");
  host::Area a;
  ASSERT_TRUE(ParseArea("$B$2:$A$1", a));
  EXPECT_EQ(AreaText(a), "A1:B2");
  ASSERT_TRUE(ParseArea("C:E", a));
  EXPECT_EQ(AreaText(a), "C:E");
  ASSERT_TRUE(ParseArea("3:5", a));
  EXPECT_EQ(AreaText(a), "3:5");
  EXPECT_FALSE(ParseArea("A1:3", a));
}

// Plain digits are read without the general parsers: the results must not tell the two apart.
TEST(Numbers, PlainDigitsReadAsTheGeneralWay) {
  double d;
  ASSERT_TRUE(ParseDouble("-0", d));
  EXPECT_TRUE(std::signbit(d));
  ASSERT_TRUE(ParseDouble("999999999999999", d));
  EXPECT_EQ(d, 999999999999999.0);
  ASSERT_TRUE(ParseDouble("12345678901234567890", d));
  EXPECT_EQ(d, 12345678901234567890.0);
  EXPECT_FALSE(ParseDouble("-", d));
  EXPECT_FALSE(ParseDouble("", d));
  int64_t i;
  ASSERT_TRUE(ParseInt("0012", i));
  EXPECT_EQ(i, 12);
  ASSERT_TRUE(ParseInt("10.0", i));
  EXPECT_EQ(i, 10);
  ASSERT_TRUE(ParseInt("-3", i));
  EXPECT_EQ(i, -3);
  EXPECT_FALSE(ParseInt("", i));
}

}  // namespace
}  // namespace tessarin::ooxml::testing
