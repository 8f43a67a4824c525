// The styles writer one element at a time, as exact XML: borders, underlines, alignment and
// colours, and each read back to the model it came from.
#include <gtest/gtest.h>

#include "core/host/constants.h"
#include "core/ooxml/cell_format_xml.h"
#include "core/ooxml/color_xml.h"
#include "core/ooxml/font_xml.h"

namespace tessarin::ooxml {
namespace {

BorderLines BorderFrom(const std::string& xml) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(xml.c_str()));
  return ReadBorder(doc.document_element());
}

std::string BorderXml(const BorderLines& lines) {
  std::string out;
  AppendBorderXml(out, lines);
  return out;
}

host::BorderLine Line(int style, int weight, int color = host::kXlAutomatic) {
  host::BorderLine line;
  line.line_style = style;
  line.weight = weight;
  line.color_index = color;
  return line;
}

TEST(StyleElements, EmptyBorderListsEveryEdge) {
  EXPECT_EQ(BorderXml({}), "<border><left/><right/><top/><bottom/><diagonal/></border>");
}

TEST(StyleElements, BorderEdgesInSchemaOrderWithTheirColours) {
  BorderLines lines;
  lines[host::kLeft] = Line(host::kXlContinuous, host::kXlThin);
  lines[host::kBottom] = Line(host::kXlContinuous, host::kXlMedium);
  lines[host::kRight] = Line(host::kXlDash, host::kXlThin, 3);
  lines[host::kTop] = Line(host::kXlDouble, host::kXlThick);
  EXPECT_EQ(BorderXml(lines),
            "<border><left style=\"thin\"></left>"
            "<right style=\"dashed\"><color indexed=\"10\"/></right>"
            "<top style=\"double\"></top><bottom style=\"medium\"></bottom><diagonal/></border>");
}

TEST(StyleElements, DiagonalBordersShareTheOneDiagonalLine) {
  BorderLines lines;
  lines[host::kDiagonalUp] = Line(host::kXlDot, host::kXlThin);
  EXPECT_EQ(BorderXml(lines),
            "<border diagonalUp=\"1\"><left/><right/><top/><bottom/>"
            "<diagonal style=\"dotted\"></diagonal></border>");
  const BorderLines both =
      BorderFrom("<border diagonalUp=\"1\" diagonalDown=\"1\"><diagonal style=\"hair\"/></border>");
  EXPECT_EQ(both[host::kDiagonalUp].line_style, host::kXlContinuous);
  EXPECT_EQ(both[host::kDiagonalDown].weight, host::kXlHairline);
}

TEST(StyleElements, EveryLineNameReadsAndWritesBackTheSame) {
  for (const char* name :
       {"thin", "medium", "thick", "hair", "dashed", "mediumDashed", "dotted", "double", "dashDot",
        "mediumDashDot", "dashDotDot", "mediumDashDotDot", "slantDashDot"}) {
    const std::string xml = std::string("<border><left style=\"") + name +
                            "\"></left><right/><top/><bottom/><diagonal/></border>";
    EXPECT_EQ(BorderXml(BorderFrom(xml)), xml) << name;
  }
  // A weight the file cannot name for a style takes the style's nearest line.
  BorderLines lines;
  lines[host::kLeft] = Line(host::kXlDot, host::kXlThick);
  EXPECT_EQ(BorderXml(lines),
            "<border><left style=\"dotted\"></left><right/><top/><bottom/><diagonal/></border>");
}

TEST(StyleElements, BorderColourKeptWhileItStandsForTheSameIndex) {
  BorderLines lines = BorderFrom(
      "<border><left style=\"thin\"><color rgb=\"FFFF0000\"/></left><right/><top/><bottom/>"
      "<diagonal/></border>");
  EXPECT_EQ(lines[host::kLeft].color_index, 3);  // the palette's red
  EXPECT_EQ(BorderXml(lines),
            "<border><left style=\"thin\"><color rgb=\"FFFF0000\"/></left><right/><top/>"
            "<bottom/><diagonal/></border>");
  lines[host::kLeft].color_index = 5;
  EXPECT_EQ(BorderXml(lines),
            "<border><left style=\"thin\"><color indexed=\"12\"/></left><right/><top/>"
            "<bottom/><diagonal/></border>");
}

std::string FontXml(const host::Font& font, bool run = false) {
  std::string out;
  AppendFontXml(out, font, run);
  return out;
}

host::Font FontFrom(const std::string& children) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(("<font>" + children + "</font>").c_str()));
  return FontFromElements(ChildElements(doc.document_element()), host::Font{});
}

TEST(StyleElements, UnderlinesBothWays) {
  struct Case {
    int underline;
    std::string element;
  };
  for (const Case& c :
       {Case{host::kXlUnderlineStyleSingle, "<u/>"},
        Case{host::kXlUnderlineStyleDouble, "<u val=\"double\"/>"},
        Case{host::kXlUnderlineStyleSingleAccounting, "<u val=\"singleAccounting\"/>"},
        Case{host::kXlUnderlineStyleDoubleAccounting, "<u val=\"doubleAccounting\"/>"}}) {
    host::Font font;
    font.underline = c.underline;
    EXPECT_EQ(FontXml(font),
              "<font>" + c.element + "<sz val=\"11\"/><name val=\"ＭＳ Ｐゴシック\"/></font>");
    EXPECT_EQ(FontFrom(c.element).underline, c.underline) << c.element;
  }
  EXPECT_EQ(FontFrom("<u val=\"single\"/>").underline, host::kXlUnderlineStyleSingle);
  EXPECT_EQ(FontFrom("<u val=\"none\"/>").underline, host::kXlUnderlineStyleNone);
  EXPECT_EQ(FontXml(host::Font{}), "<font><sz val=\"11\"/><name val=\"ＭＳ Ｐゴシック\"/></font>");
}

TEST(StyleElements, FontPropertiesInSchemaOrderAndAsARun) {
  host::Font font;
  font.name = "Klee One";
  font.size = 10.5;
  font.bold = font.italic = font.strikethrough = true;
  font.superscript = true;
  font.color_index = 3;
  EXPECT_EQ(FontXml(font),
            "<font><b/><i/><strike/><vertAlign val=\"superscript\"/><sz val=\"10.5\"/>"
            "<color indexed=\"10\"/><name val=\"Klee One\"/></font>");
  EXPECT_EQ(FontXml(font, true),
            "<rPr><b/><i/><strike/><vertAlign val=\"superscript\"/><sz val=\"10.5\"/>"
            "<color indexed=\"10\"/><rFont val=\"Klee One\"/></rPr>");
}

TEST(StyleElements, FontColourAndUnknownChildrenKeptAsWritten) {
  const host::Font font = FontFrom(
      "<sz val=\"12\"/><color theme=\"1\" tint=\"0.5\"/><name val=\"A\"/>"
      "<family val=\"2\"/><scheme val=\"minor\"/>");
  EXPECT_EQ(font.color_index, host::kXlAutomatic);
  EXPECT_EQ(FontXml(font),
            "<font><sz val=\"12\"/><color theme=\"1\" tint=\"0.5\"/><name val=\"A\"/>"
            "<family val=\"2\"/><scheme val=\"minor\"/></font>");
}

TEST(StyleElements, ColourIndexOfIndexedRgbAndThemeColours) {
  EXPECT_EQ(ColorIndexOf({"color", {{"indexed", "8"}}}), 1);
  EXPECT_EQ(ColorIndexOf({"color", {{"indexed", "0"}}}), 1);
  EXPECT_EQ(ColorIndexOf({"color", {{"indexed", "64"}}}), host::kXlAutomatic);
  EXPECT_EQ(ColorIndexOf({"color", {{"rgb", "FF0000FF"}}}), 5);
  EXPECT_EQ(ColorIndexOf({"color", {{"rgb", "0000FE"}}}), 5);  // the nearest entry
  EXPECT_EQ(ColorIndexOf({"color", {{"rgb", "FFGG0000"}}}), host::kXlAutomatic);
  EXPECT_EQ(ColorIndexOf({"color", {{"theme", "4"}}}), host::kXlAutomatic);
  std::string out;
  AppendColorXml(out, host::kXlAutomatic, "");
  EXPECT_EQ(out, "");
  AppendColorXml(out, 56, "");
  EXPECT_EQ(out, "<color indexed=\"63\"/>");
}

std::string FormatXml(const host::Style& style, const CellFormatIds& ids = {}) {
  std::string out;
  AppendCellFormatXml(out, style, ids);
  return out;
}

TEST(StyleElements, PlainFormatAppliesOnlyWhatItSets) {
  EXPECT_EQ(FormatXml(host::Style{}),
            "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>");
  EXPECT_EQ(FormatXml(host::Style{}, {164, 2, 3, 1}),
            "<xf numFmtId=\"164\" fontId=\"2\" fillId=\"3\" borderId=\"1\" xfId=\"0\" "
            "applyNumberFormat=\"1\" applyFont=\"1\" applyFill=\"1\" applyBorder=\"1\"/>");
}

TEST(StyleElements, AlignmentOfVerticalTestText) {
  host::Style style;
  style.horizontal = host::kXlCenter;
  style.vertical = host::kXlTop;
  style.orientation = host::kXlVertical;
  style.wrap = true;
  style.indent = 2;
  style.shrink = true;
  EXPECT_EQ(FormatXml(style),
            "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
            "applyAlignment=\"1\"><alignment horizontal=\"center\" vertical=\"top\" "
            "textRotation=\"255\" wrapText=\"1\" indent=\"2\" shrinkToFit=\"1\"/></xf>");
}

TEST(StyleElements, RotationsBothWays) {
  struct Case {
    int orientation;
    std::string rotation;
  };
  for (const Case& c : {Case{host::kXlUpward, "90"}, Case{host::kXlDownward, "180"}, Case{45, "45"},
                        Case{-45, "135"}, Case{host::kXlVertical, "255"}}) {
    host::Style style;
    style.orientation = c.orientation;
    const std::string xml = FormatXml(style);
    EXPECT_NE(xml.find("textRotation=\"" + c.rotation + "\""), std::string::npos) << xml;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml.c_str()));
    const std::vector<host::Font> fonts{host::Font{}};
    const std::vector<std::string> fills;
    const std::vector<BorderLines> borders{BorderLines{}};
    const std::map<int, std::string> formats;
    const host::Style back =
        ReadCellFormat(doc.document_element(), {fonts, fills, borders, formats});
    EXPECT_EQ(back.orientation, c.orientation == host::kXlUpward     ? 90
                                : c.orientation == host::kXlDownward ? -90
                                                                     : c.orientation);
  }
  // The file's defaults, general and bottom, are left unwritten.
  host::Style style;
  style.horizontal = host::kXlGeneral;
  style.vertical = host::kXlBottom;
  EXPECT_EQ(FormatXml(style),
            "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>");
}

}  // namespace
}  // namespace tessarin::ooxml
