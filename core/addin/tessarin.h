// Tessarin: the add-in's public class. Its methods are the commands the host's macro layer calls
// (the submenu items and shortcut keys name macros "K_" + method name); each forwards to one
// procedure or shows one dialog, and returns 0 on success or the number of the host or run-time
// error that ended the command.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/workbook/kanji_module.h"

namespace tessarin::forms {
class Ui;
}

namespace tessarin::marking {
class QuestionIndex;
class ReadingSuggester;
}  // namespace tessarin::marking

namespace tessarin::addin {

class Dialogs;

class Tessarin {
 public:
  // `ui` is the front end's dialog port; it must outlive the object. The host is found by
  // Auto_Open, which attaches to the running host application.
  explicit Tessarin(forms::Ui& ui);
  ~Tessarin();
  Tessarin(const Tessarin&) = delete;
  Tessarin& operator=(const Tessarin&) = delete;

  int Auto_Open();
  int START();
  int InPutAns();
  int ANS_DEL();
  int ThisQSisNG();
  int ThisQSisHITU();
  int GoJUMP();
  // ThisQSisNG and ThisQSisHITU looking the question up in `index`, read once for a run of marks
  // (it must be of the question sheet as its column D stands; see marking::ThisQSisNG).
  int ThisQSisNGWith(const marking::QuestionIndex& index);
  int ThisQSisHITUWith(const marking::QuestionIndex& index);
  int Edit_Furigana();
  int RepeatKanji();
  int NG_Report();
  int HITU_Report();
  int SetPaper();
  int QVersion();
  int SheetActivate(std::string& Sh);
  int END_Shori();
  int Command1();
  int Command2();
  int Command3();
  int Command4();
  int Command5();

  // The names of the public methods, as the method table lists them.
  static const std::vector<std::string>& MethodNames();
  // Runs the method called exactly `name` (SheetActivate takes `arg`). Returns its result, or -1
  // when there is no such method (callers check MethodNames first).
  int Call(std::string_view name, std::string arg = {});
  // Runs the method a macro name stands for ("K_START" -> START); -1 when it names none.
  int RunMacro(std::string_view macro);
  // The description of the error the last method returned (empty after success).
  const std::string& last_error() const { return last_error_; }

  workbook::KanjiModule& module() { return module_; }

 private:
  template <typename F>
  int Guard(F&& body);

  workbook::KanjiModule module_;
  std::unique_ptr<Dialogs> dialogs_;
  // Proposes readings in the phonetic-guide editor; made when the editor is first opened.
  std::unique_ptr<marking::ReadingSuggester> readings_;
  std::string last_error_;
};

}  // namespace tessarin::addin
