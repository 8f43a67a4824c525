// The "format" step: sets formats on cells of the active sheet as a user would.
#include "app/cli/format_step.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/script_args.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"

namespace tessarin::cli {

using nlohmann::json;

namespace {

// Checking builds the list of edits; nothing is set until the whole step has been read.
using Edits = std::vector<std::function<void()>>;

// Reads the fields of a font and adds the setters, in a fixed order so that "style" and "bold"
// given together end as "bold" says.
void AddFontEdits(const json& fields, std::string_view what, std::function<host::RangeFont()> font,
                  Edits& edits) {
  RequireObject(fields, what);
  RejectUnknownKeys(fields,
                    {"name", "style", "size", "bold", "italic", "underline", "colorindex",
                     "strikethrough", "superscript", "subscript", "outline", "shadow"},
                    what);
  const std::string prefix = std::string(what) + ".";
  if (auto it = fields.find("name"); it != fields.end()) {
    std::string name = RequireString(*it, prefix + "name");
    edits.push_back([font, name] { font().SetName(name); });
  }
  if (auto it = fields.find("style"); it != fields.end()) {
    std::string style = RequireString(*it, prefix + "style");
    edits.push_back([font, style] { font().SetFontStyle(style); });
  }
  if (auto it = fields.find("size"); it != fields.end()) {
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
    auto it = fields.find(key);
    if (it == fields.end()) continue;
    bool on = RequireBool(*it, prefix + key);
    edits.push_back([font, setter = setter, on] { (font().*setter)(on); });
  }
  if (auto it = fields.find("underline"); it != fields.end()) {
    // true / false read as a user's underline button: single or none.
    int style = it->is_boolean() ? (it->get<bool>() ? host::kXlUnderlineStyleSingle
                                                    : host::kXlUnderlineStyleNone)
                                 : RequireInt(*it, prefix + "underline", -100000, 100000);
    edits.push_back([font, style] { font().SetUnderline(style); });
  }
  if (auto it = fields.find("colorindex"); it != fields.end()) {
    int index = RequireInt(*it, prefix + "colorindex", -100000, 100000);
    edits.push_back([font, index] { font().SetColorIndex(index); });
  }
}

void AddBorderEdits(const json& fields, const host::Range& range, Edits& edits) {
  RequireObject(fields, "format.borders");
  for (const auto& [key, line] : fields.items()) {
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

void AddRunEdits(const json& fields, const host::Range& range, Edits& edits) {
  RequireArray(fields, "format.runs");
  // The runs' font edits are gathered and applied together, in one pass over the cell's runs.
  auto gathered = std::make_shared<host::CharacterEdits>();
  Edits run_edits;
  for (size_t i = 0; i < fields.size(); ++i) {
    const std::string what = "format.runs[" + std::to_string(i) + "]";
    const json& run = RequireObject(fields[i], what);
    RejectUnknownKeys(run, {"start", "length", "font"}, what);
    int start = RequireInt(RequireMember(run, "start", what), what + ".start", 1, 32767);
    int length = -1;
    if (auto it = run.find("length"); it != run.end()) {
      length = RequireInt(*it, what + ".length", 0, 32767);
    }
    AddFontEdits(
        RequireMember(run, "font", what), what + ".font",
        [range, start, length, gathered] {
          return range.Characters(start, length).Font().GatherInto(*gathered);
        },
        run_edits);
  }
  edits.push_back([range, gathered, run_edits = std::move(run_edits)] {
    try {
      for (const auto& edit : run_edits) edit();
    } catch (...) {
      range.ApplyCharacterEdits(*gathered);  // the runs before a refused value still apply
      throw;
    }
    range.ApplyCharacterEdits(*gathered);
  });
}

void AddCommentEdit(const json& fields, const host::Range& range, Edits& edits) {
  if (fields.is_null()) {
    edits.push_back([range] {
      host::RangeComment comment = range.Comment();
      if (comment.exists()) comment.Delete();
    });
    return;
  }
  std::string text = RequireString(fields, "format.comment");
  edits.push_back([range, text] {
    host::RangeComment comment = range.Comment();
    if (comment.exists()) {
      comment.SetText(text);
    } else {
      range.AddComment(text);
    }
  });
}

void AddPhoneticEdits(const json& fields, const host::Range& range, Edits& edits) {
  RequireObject(fields, "format.phonetic");
  RejectUnknownKeys(fields, {"text", "visible"}, "format.phonetic");
  if (auto it = fields.find("text"); it != fields.end()) {
    std::string text = RequireString(*it, "format.phonetic.text");
    edits.push_back([range, text] { range.Phonetics().SetText(text); });
  }
  if (auto it = fields.find("visible"); it != fields.end()) {
    bool visible = RequireBool(*it, "format.phonetic.visible");
    edits.push_back([range, visible] { range.Phonetics().SetVisible(visible); });
  }
}

}  // namespace

void ApplyFormat(host::Application& app, const json& fields) {
  RequireObject(fields, "format");
  RejectUnknownKeys(
      fields,
      {"cell", "range", "font", "numfmt", "h", "v", "orientation", "shrink", "wrap", "indent",
       "addindent", "merge", "borders", "runs", "comment", "phonetic", "rowheight", "colwidth"},
      "format");
  const bool has_cell = fields.contains("cell");
  if (has_cell == fields.contains("range")) {
    throw host::HostError(host::kErrInvalidProcedureCall, "format needs \"cell\" (an address)");
  }
  const std::string& address = RequireString(fields[has_cell ? "cell" : "range"], "format.cell");
  const host::Range range = app.Range(address);

  Edits edits;
  if (auto it = fields.find("numfmt"); it != fields.end()) {
    std::string code = RequireString(*it, "format.numfmt");
    edits.push_back([range, code] { range.SetNumberFormatLocal(code); });
  }
  if (auto it = fields.find("font"); it != fields.end()) {
    AddFontEdits(
        *it, "format.font", [range] { return range.Font(); }, edits);
  }
  using IntSetter = void (host::Range::*)(int) const;
  const std::pair<const char*, IntSetter> numbers[] = {
      {"h", &host::Range::SetHorizontalAlignment},
      {"v", &host::Range::SetVerticalAlignment},
      {"orientation", &host::Range::SetOrientation},
      {"indent", &host::Range::SetIndentLevel},
  };
  for (const auto& [key, setter] : numbers) {
    auto it = fields.find(key);
    if (it == fields.end()) continue;
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
    auto it = fields.find(key);
    if (it == fields.end()) continue;
    bool on = RequireBool(*it, std::string("format.") + key);
    edits.push_back([range, setter = setter, on] { (range.*setter)(on); });
  }
  if (auto it = fields.find("borders"); it != fields.end()) AddBorderEdits(*it, range, edits);
  if (auto it = fields.find("runs"); it != fields.end()) AddRunEdits(*it, range, edits);
  if (auto it = fields.find("comment"); it != fields.end()) AddCommentEdit(*it, range, edits);
  if (auto it = fields.find("phonetic"); it != fields.end()) AddPhoneticEdits(*it, range, edits);
  if (auto it = fields.find("rowheight"); it != fields.end()) {
    double height = RequireNumber(*it, "format.rowheight");
    edits.push_back([range, height] { range.SetRowHeight(height); });
  }
  if (auto it = fields.find("colwidth"); it != fields.end()) {
    double width = RequireNumber(*it, "format.colwidth");
    edits.push_back([range, width] { range.SetColumnWidth(width); });
  }

  for (const auto& edit : edits) edit();
}

}  // namespace tessarin::cli
