// Dialogs: the add-in's one instance of each dialog, made the first time it is shown and reused
// afterwards, so a dialog keeps what the user typed from one showing to the next.
#pragma once

#include <memory>

#include "core/reports/form1.h"
#include "core/testgen/kanji_form.h"
#include "core/testgen/print_form.h"
#include "core/workbook/file_selection.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::addin {

class Dialogs {
 public:
  // `module` must outlive the object; the dialogs work on it.
  explicit Dialogs(workbook::KanjiModule& module) : module_(module) {}

  workbook::FILE_Sentaku& FileSelection() { return Get(file_selection_); }
  testgen::KanjiForm1& TestCreation() { return Get(test_creation_); }
  testgen::PrintForm& PaperAdjustment() { return Get(paper_adjustment_); }
  reports::Form1& GradeSearch() { return Get(grade_search_); }

 private:
  template <typename T>
  T& Get(std::unique_ptr<T>& slot) {
    if (!slot) slot = std::make_unique<T>(module_);
    return *slot;
  }

  workbook::KanjiModule& module_;
  std::unique_ptr<workbook::FILE_Sentaku> file_selection_;
  std::unique_ptr<testgen::KanjiForm1> test_creation_;
  std::unique_ptr<testgen::PrintForm> paper_adjustment_;
  std::unique_ptr<reports::Form1> grade_search_;
};

}  // namespace tessarin::addin
