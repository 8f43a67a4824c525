// FILE_Sentaku and the recent-file list.
#include "core/workbook/file_selection.h"

#include <filesystem>

#include "core/forms/ui.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/text_util.h"
#include "core/workbook/kanji_module.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::workbook {
namespace {

// Twips to points: the dialog was laid out in twips.
forms::Bounds Twips(double left, double top, double width, double height) {
  return {left / 20, top / 20, width / 20, height / 20};
}

std::string PathKey(int n) { return "PATH" + std::to_string(n); }

}  // namespace

std::string SamplePathIn(const std::string& data_folder) {
  const std::string base = data_folder + "/" + std::string(kSampleBaseName);
  std::error_code ec;
  if (std::filesystem::is_regular_file(base + ".xls", ec)) return base + ".xls";
  return base + ".xlsx";
}

std::string UpdateFileHistory(KanjiModule& module, const std::string& path) {
  std::array<std::string, 6> p;  // p[1..5]
  for (int i = 1; i <= 5; ++i) p[i] = module.GetIniValue(PathKey(i), "");
  int k = 0;
  for (int i = 1; i <= 5 && k == 0; ++i) {
    if (p[i] == path) k = i;
  }
  if (k == 1) return "NoSave";
  if (k >= 2) {
    module.SetIniValue("PATH1", p[k], false);
    module.SetIniValue("PATH2", p[1], false);
    for (int j = 3; j <= k; ++j) module.SetIniValue(PathKey(j), p[j - 1], false);
    return "NoSave";
  }
  // Not in the list: the filled entries move down one place; the fifth falls off.
  if (!p[1].empty()) {
    module.SetIniValue("PATH2", p[1], false);
    for (int j = 3; j <= 5 && !p[j - 1].empty(); ++j)
      module.SetIniValue(PathKey(j), p[j - 1], false);
  }
  return "PATH1";
}

FILE_Sentaku::FILE_Sentaku(KanjiModule& module)
    : Form("FILE_Sentaku", "開くファイルを選択して下さい", 300, 150), module_(module) {
  forms::ButtonArray& history = AddButtonArray("CMD", 5);
  for (int i = 0; i < 5; ++i) {
    forms::CommandButton& button = history[i];
    button.set_bounds(Twips(135, 135 + 330 * i, 5715, 330));
    button.set_tab_index(i);
  }
  history.on_click = [this](int index) { CMD_Click(index); };
  forms::CommandButton& open =
      AddCommandButton("Command3", "ファイルを開く", Twips(3100, 1830, 1575, 330));
  forms::CommandButton& clear =
      AddCommandButton("Command2", "履歴クリア", Twips(4680, 1830, 1170, 330));
  forms::CommandButton& sample =
      AddCommandButton("Sample", "サンプルデータ", Twips(135, 2220, 5715, 330));
  forms::CommandButton& blank =
      AddCommandButton("Command1", "空白テンプレート", Twips(135, 2550, 5715, 330));
  sample.set_tab_index(5);
  blank.set_tab_index(6);
  clear.set_tab_index(7);
  open.set_tab_index(8);
  open.on_click = [this] { Command3_Click(); };
  clear.on_click = [this] { Command2_Click(); };
  sample.on_click = [this] { Sample_Click(); };
  blank.on_click = [this] { Command1_Click(); };
  on_activate = [this] { UserForm_Activate(); };
  on_unload = [this] { FinishSelection(); };
}

bool FILE_Sentaku::ExistFile(const std::string& path) {
  last_file_name_ = host::BaseName(path);
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

void FILE_Sentaku::UserForm_Activate() { RefreshFileList(); }

void FILE_Sentaku::RefreshFileList() {
  file_opened_ = false;
  set_caption("開くファイルを選択して下さい。【" + std::string(kProductWord) + "】");
  sample_path_ = SamplePathIn(module_.settings.DataFolderPath());
  forms::CommandButton& sample = Get<forms::CommandButton>("Sample");
  if (ExistFile(sample_path_)) {
    sample.set_caption("サンプルデータを開く");
    sample.set_tooltip(sample_path_);
    sample.set_enabled(true);
  } else {
    sample.set_caption("サンプルデータがありません。");
    sample.set_enabled(false);
  }
  for (int i = 0; i < 5; ++i) history_path_[i] = module_.GetIniValue(PathKey(i + 1), "");
  forms::ButtonArray& history = GetArray("CMD");
  for (int i = 0; i < 5; ++i) {
    forms::CommandButton& button = history[i];
    if (!history_path_[i].empty()) {
      button.set_enabled(ExistFile(history_path_[i]));
      button.set_tooltip(history_path_[i]);
      button.set_caption(last_file_name_);
    } else {
      button.set_enabled(false);
      button.set_caption("履歴なし");
    }
  }
  module_.Dialogs().Beep(64);
}

bool FILE_Sentaku::OpenWorkbook(const std::string& path) {
  try {
    module_.App().Workbooks().Open(path);
    return true;
  } catch (const host::HostError& e) {
    // The dialog stays so the user can choose another file.
    module_.Dialogs().MsgBox("ファイルを開けませんでした。\n" + path + "\n\n" + e.description() +
                                 "（エラー " + std::to_string(e.number()) + "）",
                             "エラー");
    return false;
  }
}

void FILE_Sentaku::CMD_Click(int index) {
  if (!OpenWorkbook(history_path_[index])) return;
  file_opened_ = true;
  Unload();
}

void FILE_Sentaku::Command3_Click() {
  const std::string answer = module_.App().GetOpenFilename(kOpenFileFilter);
  if (answer == "False") return;
  if (!OpenWorkbook(answer)) return;
  file_opened_ = true;
  Unload();
}

void FILE_Sentaku::Sample_Click() {
  file_opened_ = true;
  if (!OpenWorkbook(sample_path_)) {
    file_opened_ = false;
    return;
  }
  Unload();
}

void FILE_Sentaku::Command2_Click() {
  if (module_.Dialogs().MsgBox("本当に履歴を消去してもよろしいですか？", "確認",
                               forms::MsgBoxButtons::kYesNo) == forms::MsgBoxResult::kNo) {
    return;
  }
  for (int i = 1; i <= 5; ++i) module_.SetIniValue(PathKey(i), "", true);
  RefreshFileList();
}

void FILE_Sentaku::Command1_Click() { Unload(); }

void FILE_Sentaku::FinishSelection() {
  if (!file_opened_) MakeBlankTemplate(module_);
  module_.App().SetDisplayCommentIndicator(host::kXlCommentIndicatorOnly);
}

}  // namespace tessarin::workbook
