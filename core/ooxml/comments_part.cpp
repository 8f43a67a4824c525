// Comments and their VML note shapes.
#include "core/ooxml/comments_part.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/host/workbook.h"
#include "core/ooxml/shared_strings_part.h"
#include "core/ooxml/value_text.h"
#include "core/ooxml/worksheet_part.h"

namespace tessarin::ooxml {
namespace {

uint64_t Key(int32_t row, int32_t col) { return (uint64_t(row) << 16) | uint32_t(col); }

struct ShapeInfo {
  int32_t row = -1, col = -1;  // 0-based, as VML counts
  double width = 0, height = 0;
  bool visible = false;
  bool note = false;
};

// Converts a VML length ("96pt", "144px", "1.5in") to points.
double LengthToPoints(std::string_view v) {
  size_t e = 0;
  while (e < v.size() && ((v[e] >= '0' && v[e] <= '9') || v[e] == '.' || v[e] == '-')) ++e;
  double d;
  if (!ParseDouble(v.substr(0, e), d)) return 0;
  std::string_view unit = v.substr(e);
  while (!unit.empty() && unit.back() == ' ') unit.remove_suffix(1);
  if (unit == "px") return d * 0.75;
  if (unit == "in") return d * 72;
  if (unit == "cm") return d * 72 / 2.54;
  if (unit == "mm") return d * 72 / 25.4;
  if (unit == "pc") return d * 12;
  return d;  // pt, or a bare number
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() &&
         (s.front() == ' ' || s.front() == '\n' || s.front() == '\r' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

// The value of attribute `name` in the start tag `tag`, quoted with ' or ".
std::string_view TagAttr(std::string_view tag, std::string_view name) {
  size_t i = 0;
  while ((i = tag.find(name, i)) != std::string_view::npos) {
    const bool boundary = i > 0 && (tag[i - 1] == ' ' || tag[i - 1] == '\n' || tag[i - 1] == '\t' ||
                                    tag[i - 1] == '\r');
    size_t j = i + name.size();
    while (j < tag.size() && tag[j] == ' ') ++j;
    if (boundary && j < tag.size() && tag[j] == '=') {
      ++j;
      while (j < tag.size() && tag[j] == ' ') ++j;
      if (j < tag.size() && (tag[j] == '"' || tag[j] == '\'')) {
        const size_t e = tag.find(tag[j], j + 1);
        if (e != std::string_view::npos) return tag.substr(j + 1, e - j - 1);
      }
    }
    i += name.size();
  }
  return {};
}

std::string_view ElementContent(std::string_view block, std::string_view qname) {
  const std::string open = "<" + std::string(qname) + ">", close = "</" + std::string(qname) + ">";
  const size_t b = block.find(open);
  if (b == std::string_view::npos) return {};
  const size_t e = block.find(close, b);
  if (e == std::string_view::npos) return {};
  return Trim(block.substr(b + open.size(), e - b - open.size()));
}

ShapeInfo ParseShape(std::string_view block) {
  ShapeInfo info;
  const size_t tag_end = block.find('>');
  const std::string_view tag = block.substr(0, tag_end);
  const std::string_view client = [&] {
    const size_t c = block.find("<x:ClientData");
    return c == std::string_view::npos ? std::string_view() : block.substr(c);
  }();
  if (client.empty()) return info;
  const size_t ce = client.find('>');
  info.note = TagAttr(client.substr(0, ce), "ObjectType") == "Note";
  int64_t v;
  if (ParseInt(ElementContent(client, "x:Row"), v)) info.row = static_cast<int32_t>(v);
  if (ParseInt(ElementContent(client, "x:Column"), v)) info.col = static_cast<int32_t>(v);
  info.visible = client.find("<x:Visible") != std::string_view::npos;
  std::string_view style = TagAttr(tag, "style");
  size_t i = 0;
  while (i < style.size()) {
    size_t j = style.find(';', i);
    if (j == std::string_view::npos) j = style.size();
    std::string_view decl = style.substr(i, j - i);
    const size_t colon = decl.find(':');
    if (colon != std::string_view::npos) {
      const std::string_view k = Trim(decl.substr(0, colon)), val = Trim(decl.substr(colon + 1));
      if (k == "width")
        info.width = LengthToPoints(val);
      else if (k == "height")
        info.height = LengthToPoints(val);
      else if (k == "visibility")
        info.visible = info.visible || val == "visible";
    }
    i = j + 1;
  }
  return info;
}

// Calls f(block) for each <v:shape> and <v:shapetype> element of the drawing.
template <typename F>
void ForEachShape(std::string_view vml, F&& f) {
  size_t i = 0;
  while ((i = vml.find("<v:shape", i)) != std::string_view::npos) {
    const bool type = vml.compare(i, 12, "<v:shapetype") == 0;
    const size_t after = i + (type ? 12 : 8);
    if (after >= vml.size() || !(vml[after] == ' ' || vml[after] == '>' || vml[after] == '\n' ||
                                 vml[after] == '\r' || vml[after] == '\t')) {
      i = after;
      continue;
    }
    const size_t gt = vml.find('>', i);
    if (gt == std::string_view::npos) return;
    size_t end;
    if (vml[gt - 1] == '/') {
      end = gt + 1;
    } else {
      const std::string_view close = type ? "</v:shapetype>" : "</v:shape>";
      const size_t c = vml.find(close, gt);
      if (c == std::string_view::npos) return;
      end = c + close.size();
    }
    f(vml.substr(i, end - i), type);
    i = end;
  }
}

std::string Fmt(double v) {
  std::string s;
  AppendNumber(s, std::round(v * 100) / 100);
  return s;
}

// Replaces the shape id (and o:spid) of a kept shape with `id`.
std::string Renumber(std::string_view shape, const std::string& id) {
  std::string out(shape);
  const size_t gt = out.find('>');
  for (std::string_view attr : {" id=", " o:spid="}) {
    const size_t p = out.find(attr);
    if (p == std::string::npos || p > gt) continue;
    const size_t q = p + attr.size();
    if (q >= out.size()) continue;
    const char quote = out[q];
    const size_t e = out.find(quote, q + 1);
    if (e != std::string::npos) out.replace(q + 1, e - q - 1, id);
  }
  return out;
}

}  // namespace

void ReadComments(std::string_view xml, std::string_view file, std::string_view part,
                  host::Worksheet& sheet, SheetExtras& extras) {
  XmlScanner sc(xml, file, part);
  std::vector<std::string> authors;
  host::Font base;
  base.size = 9;
  std::string text;
  for (;;) {
    const auto tok = sc.Next();
    if (tok == XmlScanner::kEof) break;
    if (tok != XmlScanner::kStart) continue;
    if (sc.depth() == 1) {
      for (const auto& a : sc.attrs()) {
        if (a.qname == "xmlns") continue;
        extras.comments_root_attrs.append(" ").append(a.qname).append("=\"").append(a.raw).append(
            "\"");
      }
      continue;
    }
    if (sc.name() == "author") {
      // Written as cell text is (see WriteComments), so read back the same way.
      const std::string raw = sc.ElementText();
      std::string scratch;
      authors.emplace_back(
          MendedText(raw.find("_x") == std::string::npos ? raw : DecodeXmlEscapes(raw), scratch));
      continue;
    }
    if (sc.name() != "comment") continue;
    int32_t row = 0, col = 0;
    int64_t author = -1;
    std::string attrs;
    bool has_ref = false;
    for (const auto& a : sc.attrs()) {
      if (a.name == "ref") {
        if (!ParseCellRef(a.raw, row, col)) {
          Fail(file, part,
               "a comment refers to \"" + std::string(a.raw) +
                   "\", which is outside the sheet or malformed.");
        }
        has_ref = true;
      } else if (a.name == "authorId") {
        if (!ParseInt(a.raw, author)) author = -1;
      } else {
        attrs.append(" ").append(a.qname).append("=\"").append(a.raw).append("\"");
      }
    }
    if (!has_ref) Fail(file, part, "a comment has no cell reference.");
    host::Comment comment;
    if (author >= 0 && author < static_cast<int64_t>(authors.size()))
      comment.author = authors[author];
    const int depth = sc.depth();
    if (!sc.self_closing()) {
      for (;;) {
        const auto t = sc.Next();
        if (t == XmlScanner::kEnd && sc.depth() < depth) break;
        if (t == XmlScanner::kEof) sc.Error("unexpected end of document");
        if (t == XmlScanner::kStart && sc.depth() == depth + 1) {
          if (sc.name() == "text") {
            RichText rich;
            ReadStringItem(sc, text, rich, base);
            comment.text = text;
            comment.runs = std::move(rich.runs);
          } else {
            sc.SkipElement();
          }
        }
      }
    } else {
      sc.Next();
    }
    sheet.ObtainExtra(row, col).comment = std::move(comment);
    if (!attrs.empty()) extras.comment_attrs[Key(row, col)] = attrs;
  }
}

void ReadCommentShapes(std::string_view vml, host::Worksheet& sheet, SheetExtras& extras) {
  const std::string_view idmap = TagAttr(
      vml.substr(0, std::min<size_t>(vml.size(), vml.find("</o:shapelayout>") + 1)), "data");
  int64_t block;
  if (ParseInt(idmap.substr(0, idmap.find(',')), block) && block > 0 && block < 1 << 20)
    extras.vml_idmap = static_cast<int>(block);
  ForEachShape(vml, [&](std::string_view block_xml, bool type) {
    if (type) {
      if (TagAttr(block_xml.substr(0, block_xml.find('>')), "id") != "_x0000_t202")
        extras.vml_shapes.append(block_xml);
      return;
    }
    const ShapeInfo info = ParseShape(block_xml);
    if (!info.note) {
      extras.vml_shapes.append(block_xml);
      return;
    }
    if (info.row < 0 || info.col < 0 ||
        !host::IsValidCell(int64_t{info.row} + 1, int64_t{info.col} + 1))
      return;
    const host::CellExtra* extra = sheet.Extra(info.row + 1, info.col + 1);
    if (!extra || !extra->comment)
      return;  // a note shape without its comment is dropped, as the host does
    host::Comment& c = *sheet.ObtainExtra(info.row + 1, info.col + 1).comment;
    if (info.width > 0) c.width = info.width;
    if (info.height > 0) c.height = info.height;
    c.visible = info.visible;
    c.file_shape = MakeXmlExtras(std::string(block_xml));
  });
}

bool HasComments(const host::Worksheet& sheet) { return sheet.CommentCount() > 0; }

namespace {

struct Noted {
  int32_t row, col;
  const host::Comment* comment;
};

std::vector<Noted> SortedComments(const host::Worksheet& sheet) {
  std::vector<Noted> out;
  sheet.ForEachExtra([&](int32_t r, int32_t c, const host::CellExtra& e) {
    if (e.comment) out.push_back({r, c, &*e.comment});
  });
  std::sort(out.begin(), out.end(), [](const Noted& a, const Noted& b) {
    return a.row != b.row ? a.row < b.row : a.col < b.col;
  });
  return out;
}

}  // namespace

std::string WriteComments(const host::Worksheet& sheet, const SheetExtras* extras,
                          const Namespaces& ns) {
  const auto notes = SortedComments(sheet);
  std::vector<std::string> authors;
  std::map<std::string, int> author_ids;
  for (const Noted& n : notes) {
    if (author_ids.emplace(n.comment->author, static_cast<int>(authors.size())).second)
      authors.push_back(n.comment->author);
  }
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<comments";
  AppendAttr(out, "xmlns", ns.main);
  if (extras) out += extras->comments_root_attrs;
  out += "><authors>";
  for (const auto& a : authors) {
    out += "<author>";
    AppendCellText(out, a);  // an author is free text and may hold characters XML cannot
    out += "</author>";
  }
  out += "</authors><commentList>";
  for (const Noted& n : notes) {
    out += "<comment";
    AppendAttr(out, "ref", CellRefText(n.row, n.col));
    AppendAttr(out, "authorId", author_ids[n.comment->author]);
    if (extras) {
      auto it = extras->comment_attrs.find(Key(n.row, n.col));
      if (it != extras->comment_attrs.end()) out += it->second;
    }
    out += "><text>";
    AppendStringItemBody(out, n.comment->text, n.comment->runs, std::nullopt);
    out += "</text></comment>";
  }
  out += "</commentList></comments>";
  return out;
}

int CommentShapeBlocks(const host::Worksheet& sheet) {
  return static_cast<int>(sheet.CommentCount() / 1023) + 1;
}

namespace {

// The pixel geometry of a sheet's columns and rows, as the note boxes are placed on it.
class SheetPixels {
 public:
  SheetPixels(const host::Worksheet& sheet, int mdw) : sheet_(sheet), mdw_(mdw) {}

  double ColumnWidth(int32_t c0) const {
    const double w = CharsToFileWidth(sheet_.ColumnWidth(c0 + 1), mdw_);
    return std::floor((256 * w + std::floor(128.0 / mdw_)) / 256 * mdw_);
  }
  double RowHeight(int32_t r0) const { return std::round(sheet_.RowHeight(r0 + 1) * 4 / 3); }
  // Pixels above 0-based row r0.
  double RowTop(int32_t r0) {
    while (static_cast<int32_t>(row_top_.size()) <= r0) {
      row_top_.push_back(row_top_.back() + RowHeight(static_cast<int32_t>(row_top_.size()) - 1));
    }
    return row_top_[r0];
  }

 private:
  const host::Worksheet& sheet_;
  int mdw_;
  std::vector<double> row_top_{0};
};

// Appends the VML shape `id` of a note on 0-based cell (r0, c0), placed as Excel places a new
// one: one column right of the cell, a little above it.
void AppendNoteShape(std::string& out, const std::string& id, size_t z, const host::Comment& c,
                     int32_t r0, int32_t c0, SheetPixels& pixels) {
  int32_t lc = std::min(c0 + 1, host::kMaxColumns - 1), tr = r0 == 0 ? 0 : r0 - 1;
  const double lo = 15, to = r0 == 0 ? 2 : 10;
  double left = lo;
  for (int32_t x = 0; x < lc && x < 16384; ++x) left += pixels.ColumnWidth(x);
  const double top = pixels.RowTop(tr) + to;
  double remain = std::round(c.width * 4 / 3) + lo;
  int32_t rc = lc;
  while (rc < host::kMaxColumns - 1 && remain > pixels.ColumnWidth(rc)) {
    remain -= pixels.ColumnWidth(rc++);
  }
  const double ro = remain;
  double remain_h = std::round(c.height * 4 / 3) + to;
  int32_t br = tr;
  while (br < host::kMaxRows - 1 && remain_h > pixels.RowHeight(br)) {
    remain_h -= pixels.RowHeight(br++);
  }
  out += "<v:shape id=\"" + id +
         "\" type=\"#_x0000_t202\" style='position:absolute;\n  margin-left:" + Fmt(left * 0.75) +
         "pt;margin-top:" + Fmt(top * 0.75) + "pt;width:" + Fmt(c.width) +
         "pt;height:" + Fmt(c.height) + "pt;z-index:" + std::to_string(z) +
         (c.visible ? ";\n  visibility:visible" : ";\n  visibility:hidden") +
         "' fillcolor=\"#ffffe1\" o:insetmode=\"auto\">\n  <v:fill color2=\"#ffffe1\"/>\n"
         "  <v:shadow on=\"t\" color=\"black\" obscured=\"t\"/>\n  <v:path "
         "o:connecttype=\"none\"/>\n"
         "  <v:textbox style='mso-direction-alt:auto'>\n   <div style='text-align:left'></div>\n "
         " </v:textbox>\n"
         "  <x:ClientData ObjectType=\"Note\">\n   <x:MoveWithCells/>\n   <x:SizeWithCells/>\n   "
         "<x:Anchor>\n    " +
         std::to_string(lc) + ", " + std::to_string(static_cast<int>(lo)) + ", " +
         std::to_string(tr) + ", " + std::to_string(static_cast<int>(to)) + ", " +
         std::to_string(rc) + ", " + std::to_string(static_cast<int>(ro)) + ", " +
         std::to_string(br) + ", " + std::to_string(static_cast<int>(remain_h)) +
         "</x:Anchor>\n   <x:AutoFill>False</x:AutoFill>\n" + "   <x:Row>" + std::to_string(r0) +
         "</x:Row>\n   <x:Column>" + std::to_string(c0) + "</x:Column>\n" +
         (c.visible ? "   <x:Visible/>\n" : "") + "  </x:ClientData>\n </v:shape>";
}

}  // namespace

std::string WriteCommentShapes(const host::Worksheet& sheet, const SheetExtras* extras,
                               const std::vector<int>& blocks, int mdw) {
  const auto notes = SortedComments(sheet);
  std::string out =
      "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\"\n"
      " xmlns:o=\"urn:schemas-microsoft-com:office:office\"\n"
      " xmlns:x=\"urn:schemas-microsoft-com:office:excel\">\n"
      " <o:shapelayout v:ext=\"edit\">\n  <o:idmap v:ext=\"edit\" data=\"";
  std::vector<int> all_blocks = blocks;
  if (extras && extras->vml_idmap > 0 && !extras->vml_shapes.empty())
    all_blocks.insert(all_blocks.begin(), extras->vml_idmap);
  for (size_t i = 0; i < all_blocks.size(); ++i) {
    if (i) out += ',';
    AppendInt(out, all_blocks[i]);
  }
  out +=
      "\"/>\n </o:shapelayout><v:shapetype id=\"_x0000_t202\" coordsize=\"21600,21600\" "
      "o:spt=\"202\"\n"
      "  path=\"m,l,21600r21600,l21600,xe\">\n  <v:stroke joinstyle=\"miter\"/>\n"
      "  <v:path gradientshapeok=\"t\" o:connecttype=\"rect\"/>\n </v:shapetype>";
  if (extras) out += extras->vml_shapes;

  SheetPixels pixels(sheet, mdw);
  size_t k = 0;
  for (const Noted& n : notes) {
    const int block = blocks[std::min(k / 1023, blocks.size() - 1)];
    const std::string id =
        "_x0000_s" + std::to_string(block * 1024 + 1 + static_cast<int>(k % 1023));
    ++k;
    const host::Comment& c = *n.comment;
    const int32_t r0 = n.row - 1, c0 = n.col - 1;
    // A shape kept from the file that still fits its note is written as it was.
    if (const std::string_view shape = XmlExtrasOf(c.file_shape); !shape.empty()) {
      const ShapeInfo kept = ParseShape(shape);
      if (kept.row == r0 && kept.col == c0 && std::fabs(kept.width - c.width) < 0.01 &&
          std::fabs(kept.height - c.height) < 0.01 && kept.visible == c.visible) {
        out += Renumber(shape, id);
        continue;
      }
    }
    AppendNoteShape(out, id, k, c, r0, c0, pixels);
  }
  out += "</xml>";
  return out;
}

}  // namespace tessarin::ooxml
