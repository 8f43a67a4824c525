// Ui: the message box entry shared by every front end, and the names of buttons and answers.
#include "core/forms/ui.h"

namespace tessarin::forms {

std::string_view ButtonsName(MsgBoxButtons buttons) {
  return buttons == MsgBoxButtons::kYesNo ? "yesno" : "ok";
}

std::string_view ResultName(MsgBoxResult result) {
  switch (result) {
    case MsgBoxResult::kYes:
      return "yes";
    case MsgBoxResult::kNo:
      return "no";
    case MsgBoxResult::kOk:
      break;
  }
  return "ok";
}

MsgBoxResult FirstButton(MsgBoxButtons buttons) {
  return buttons == MsgBoxButtons::kYesNo ? MsgBoxResult::kYes : MsgBoxResult::kOk;
}

bool Fits(MsgBoxResult result, MsgBoxButtons buttons) {
  if (buttons == MsgBoxButtons::kYesNo) {
    return result == MsgBoxResult::kYes || result == MsgBoxResult::kNo;
  }
  return result == MsgBoxResult::kOk;
}

MsgBoxResult Ui::MsgBox(std::string_view text, std::string_view caption, MsgBoxButtons buttons) {
  std::string shown_caption(caption.empty() ? std::string_view(title_) : caption);
  return ShowMessage(std::string(text), shown_caption, buttons);
}

}  // namespace tessarin::forms
