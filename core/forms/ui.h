// Ui: the port a front end provides for message boxes, modal forms, the open-file box, beeps,
// print preview and the phonetic-guide editor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::forms {

class Form;

// Values as the host's message box constants.
enum class MsgBoxButtons { kOk = 0, kYesNo = 4 };
enum class MsgBoxResult { kOk = 1, kYes = 6, kNo = 7 };

// "ok" / "yesno" and "ok" / "yes" / "no", as transcripts and scripts write them.
std::string_view ButtonsName(MsgBoxButtons buttons);
std::string_view ResultName(MsgBoxResult result);
// The first button of a box: the answer when the user just presses Enter.
MsgBoxResult FirstButton(MsgBoxButtons buttons);
// True when `result` is one of the buttons of `buttons`.
bool Fits(MsgBoxResult result, MsgBoxButtons buttons);

// One run of kanji in the text of a cell that the phonetic-guide editor shows.
struct PhoneticSpan {
  uint32_t start = 0;  // 0-based, in characters (code points)
  uint32_t length = 0;
  std::string base;      // the kanji themselves
  std::string reading;   // the reading the cell holds for them now, "" when none
  std::string proposal;  // a proposed reading, "" when there is none
};

// What the editor shows. The answer is the readings of the spans in order, separated by
// spaces (ASCII or ideographic); an answer with another number of parts is one reading of the
// whole text, and an empty answer removes the guide.
struct PhoneticEdit {
  std::string cell;  // A1 address, no $ signs
  std::string text;  // the cell's text
  std::vector<PhoneticSpan> spans;
};

// Everything runs on one thread; every call is modal and returns when the user has answered.
// The Ui does not own the forms it shows.
class Ui {
 public:
  virtual ~Ui() = default;

  // A modal message box without icon. An empty caption shows title().
  MsgBoxResult MsgBox(std::string_view text, std::string_view caption = {},
                      MsgBoxButtons buttons = MsgBoxButtons::kOk);

  // The caption of a box that names none: the host titles it after the add-in, so the add-in
  // sets it when it attaches to this Ui. Empty until then.
  const std::string& title() const { return title_; }
  void set_title(std::string title) { title_ = std::move(title); }

  // The open-file box with a filter of description/pattern pairs separated by commas
  // ("Microsoft Excelブック,*.xl*,テキストファイル,*.txt"). The chosen path, or nullopt when
  // the user cancels.
  virtual std::optional<std::string> GetOpenFilename(std::string_view filter) = 0;

  // The system sound of the given message-beep type (64: asterisk).
  virtual void Beep(int type) = 0;

  // The print preview of the named sheets of the active workbook; returns when it is closed.
  virtual void PrintPreview(const std::vector<std::string>& sheets) = 0;

  // The phonetic-guide editor of one cell: shows its text with the current reading and the
  // proposed reading of each kanji run, and lets the user type the readings. Returns what the
  // user typed (see PhoneticEdit), or nullopt when the user cancels.
  virtual std::optional<std::string> EditPhonetic(const PhoneticEdit& edit) = 0;

 protected:
  friend class Form;

  // Shows the box; `caption` is the box's own, or title() when it has none.
  virtual MsgBoxResult ShowMessage(const std::string& text, const std::string& caption,
                                   MsgBoxButtons buttons) = 0;

  // Called by Form::Show only. Puts the form on screen modally, calls form.Activated() once it
  // is active, passes the user's gestures to the form's User* methods, and returns once the
  // form is no longer visible (unloaded or hidden). A form still visible when this returns is
  // unloaded by Form::Show.
  virtual void ShowModal(Form& form) = 0;

  // The form has just been unloaded (unloaded true) or hidden while this Ui showed it; the
  // front end takes its window down.
  virtual void FormClosed(Form& form, bool unloaded) {}

 private:
  std::string title_;
};

}  // namespace tessarin::forms
