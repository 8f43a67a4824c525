// The "format" step: sets formats on cells of the active sheet as a user would.
#include "app/cli/format_step.h"

#include <functional>
#include <string>
#include <vector>

#include "app/cli/script_args.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"

namespace tessarin::cli {

using nlohmann::json;

namespace {

// Checking builds the list of edits; nothing is set until the whole spec has been read.
using Edits = std::vector<std::function<void()>>;

// Reads a font spec and adds the setters, in a fixed order so that "style" and "bold" given
// together end as "bold" says.
void AddFontEdits(const json& spec, std::string_view what, std::function<host::RangeFont()> font,
                  Edits& edits) {
  RequireObject(spec, what);
  RejectUnknownKeys(spec,
                    {"name", "style", "size", "bold", "italic", "underline", "colorindex",
                     "strikethrough", "superscript", "subscript", "outline", "shadow"},
                    what);
  const std::string prefix = std::string(what) + ".";
  if (auto it = spec.find("name"); it != spec.end()) {
    std::string name = RequireString(*it, prefix + "name");
    edits.push_back([font, name] { font().SetName(name); });
  }
  if (auto it = spec.find("style"); it != spec.end()) {
    std::string style = RequireString(*it, prefix + "style");
    edits.push_back([font, style] { font().SetFontStyle(style); });
  }
  if (auto it = spec.find("size"); it != spec.end()) {
    double size = RequireNumber(*it, prefix + "size");
    edits.push_back([font, size] { font().SetSize(size); });
  }
  using BoolSetter = void (host::RangeFont::*)(bool) const;
  const std::pair<const char*, BoolSetter> flags[] = {
      {"bold", &host::RangeFont::SetBold},
      {"italic", &host::RangeFont::SetItalic},
      {"strikethrough", &host::RangeFont::SetStrikethrough},
      {"superscript", &host::RangeFont::SetSuperscript},
      {"subscript", &host::RangeFont::SetSubscript},
      {"outline", &host::RangeFont::SetOutlineFont},
      {"shadow", &host::RangeFont::SetShadow},
  };
  for (const auto& [key, setter] : flags) {
    auto it = spec.find(key);
    if (it == spec.end()) continue;
    bool on = RequireBool(*it, prefix + key);
    edits.push_back([font, setter = setter, on] { (font().*setter)(on); });
  }
  if (auto it = spec.find("underline"); it != spec.end()) {
    // true / false read as a user's underline button: single or none.
    int style = it->is_boolean() ? (it->get<bool>() ? host::kXlUnderlineStyleSingle : host::kXlUnderlineStyleNone)
                                 : RequireInt(*it, prefix + "underline", -100000, 100000);
    edits.push_back([font, style] { font().SetUnderline(style); });
  }
  if (auto it = spec.find("colorindex"); it != spec.end()) {
    int index = RequireInt(*it, prefix + "colorindex", -100000, 100000);
    edits.push_back([font, index] { font().SetColorIndex(index); });
  }
}

void AddBorderEdits(const json& spec, const host::Range& range, Edits& edits) {
  RequireObject(spec, "format.borders");
  for (const auto& [key, line] : spec.items()) {
    int index = 0;
    if (key.size() == 1 && key[0] >= '5' && key[0] <= '9') index = key[0] - '0';
    if (key == "10" || key == "11" || key == "12") index = std::stoi(key);
    if (index == 0) {
      throw host::HostError(host::kErrInvalidProcedureCall,
                            "format.borders: " + Brief(json(key)) + " is not a border index 5..12");
    }
    const std::string what = "format.borders." + key;
    RequireObject(line, what);
    RejectUnknownKeys(line, {"linestyle", "weight", "colorindex"}, what);
    // Line style first: weight or colour on a missing line draws it continuous.
    if (auto it = line.find("linestyle"); it != line.end()) {
      int style = RequireInt(*it, what + ".linestyle", -100000, 100000);
      edits.push_back([range, index, style] { range.Borders(index).SetLineStyle(style); });
    }
    if (auto it = line.find("weight"); it != line.end()) {
      int weight = RequireInt(*it, what + ".weight", -100000, 100000);
      edits.push_back([range, index, weight] { range.Borders(index).SetWeight(weight); });
    }
    if (auto it = line.find("colorindex"); it != line.end()) {
      int color = RequireInt(*it, what + ".colorindex", -100000, 100000);
      edits.push_back([range, index, color] { range.Borders(index).SetColorIndex(color); });
    }
  }
}

void AddRunEdits(const json& spec, const host::Range& range, Edits& edits) {
  RequireArray(spec, "format.runs");
  for (size_t i = 0; i < spec.size(); ++i) {
    const std::string what = "format.runs[" + std::to_string(i) + "]";
    const json& run = RequireObject(spec[i], what);
    RejectUnknownKeys(run, {"start", "length", "font"}, what);
    int start = RequireInt(RequireMember(run, "start", what), what + ".start", 1, 32767);
    int length = -1;
    if (auto it = run.find("length"); it != run.end()) {
      length = RequireInt(*it, what + ".length", 0, 32767);
    }
    AddFontEdits(RequireMember(run, "font", what), what + ".font",
                 [range, start, length] { return range.Characters(start, length).Font(); }, edits);
  }
}

void AddCommentEdit(const json& spec, const host::Range& range, Edits& edits) {
  if (spec.is_null()) {
    edits.push_back([range] {
      host::RangeComment comment = range.Comment();
      if (comment.exists()) comment.Delete();
    });
    return;
  }
  std::string text = RequireString(spec, "format.comment");
  edits.push_back([range, text] {
    host::RangeComment comment = range.Comment();
    if (comment.exists()) {
      comment.SetText(text);
    } else {
      range.AddComment(text);
    }
  });
}

void AddPhoneticEdits(const json& spec, const host::Range& range, Edits& edits) {
  RequireObject(spec, "format.phonetic");
  RejectUnknownKeys(spec, {"text", "visible"}, "format.phonetic");
  if (auto it = spec.find("text"); it != spec.end()) {
    std::string text = RequireString(*it, "format.phonetic.text");
    edits.push_back([range, text] { range.Phonetics().SetText(text); });
  }
  if (auto it = spec.find("visible"); it != spec.end()) {
    bool visible = RequireBool(*it, "format.phonetic.visible");
    edits.push_back([range, visible] { range.Phonetics().SetVisible(visible); });
  }
}

}  // namespace

void ApplyFormat(host::Application& app, const json& spec) {
  RequireObject(spec, "format");
  RejectUnknownKeys(spec,
                    {"cell", "range", "font", "numfmt", "h", "v", "orientation", "shrink", "wrap",
                     "indent", "addindent", "merge", "borders", "runs", "comment", "phonetic",
                     "rowheight", "colwidth"},
                    "format");
  const bool has_cell = spec.contains("cell");
  if (has_cell == spec.contains("range")) {
    throw host::HostError(host::kErrInvalidProcedureCall, "format needs \"cell\" (an address)");
  }
  const std::string& address = RequireString(spec[has_cell ? "cell" : "range"], "format.cell");
  const host::Range range = app.Range(address);

  Edits edits;
  if (auto it = spec.find("numfmt"); it != spec.end()) {
    std::string code = RequireString(*it, "format.numfmt");
    edits.push_back([range, code] { range.SetNumberFormatLocal(code); });
  }
  if (auto it = spec.find("font"); it != spec.end()) {
    AddFontEdits(*it, "format.font", [range] { return range.Font(); }, edits);
  }
  using IntSetter = void (host::Range::*)(int) const;
  const std::pair<const char*, IntSetter> numbers[] = {
      {"h", &host::Range::SetHorizontalAlignment},
      {"v", &host::Range::SetVerticalAlignment},
      {"orientation", &host::Range::SetOrientation},
      {"indent", &host::Range::SetIndentLevel},
  };
  for (const auto& [key, setter] : numbers) {
    auto it = spec.find(key);
    if (it == spec.end()) continue;
    int value = RequireInt(*it, std::string("format.") + key, -100000, 100000);
    edits.push_back([range, setter = setter, value] { (range.*setter)(value); });
  }
  using BoolSetter = void (host::Range::*)(bool) const;
  const std::pair<const char*, BoolSetter> flags[] = {
      {"shrink", &host::Range::SetShrinkToFit},
      {"wrap", &host::Range::SetWrapText},
      {"addindent", &host::Range::SetAddIndent},
      {"merge", &host::Range::SetMergeCells},
  };
  for (const auto& [key, setter] : flags) {
    auto it = spec.find(key);
    if (it == spec.end()) continue;
    bool on = RequireBool(*it, std::string("format.") + key);
    edits.push_back([range, setter = setter, on] { (range.*setter)(on); });
  }
  if (auto it = spec.find("borders"); it != spec.end()) AddBorderEdits(*it, range, edits);
  if (auto it = spec.find("runs"); it != spec.end()) AddRunEdits(*it, range, edits);
  if (auto it = spec.find("comment"); it != spec.end()) AddCommentEdit(*it, range, edits);
  if (auto it = spec.find("phonetic"); it != spec.end()) AddPhoneticEdits(*it, range, edits);
  if (auto it = spec.find("rowheight"); it != spec.end()) {
    double height = RequireNumber(*it, "format.rowheight");
    edits.push_back([range, height] { range.SetRowHeight(height); });
  }
  if (auto it = spec.find("colwidth"); it != spec.end()) {
    double width = RequireNumber(*it, "format.colwidth");
    edits.push_back([range, width] { range.SetColumnWidth(width); });
  }

  for (const auto& edit : edits) edit();
}

}  // namespace tessarin::cli
