// FILE_Sentaku: the dialog that picks the question workbook (recent files, the open-file box,
// the sample workbook or a blank template), and the recent-file list it shows.
#pragma once

#include <array>
#include <string>

#include "core/forms/form.h"

namespace tessarin::workbook {

struct KanjiModule;

// The sample workbook's file name in the data folder, without its extension.
inline constexpr std::string_view kSampleBaseName = "ミラトス【サンプルデータ】";
inline constexpr std::string_view kOpenFileFilter =
    "Microsoft Excelブック,*.xl*,テキストファイル,*.txt";

// The sample workbook's path: the data folder's .xls when a user's own from an earlier
// installation is there, else the .xlsx that this product installs.
std::string SamplePathIn(const std::string& data_folder);

// Moves `path` to the front of the recent-file list PATH1..PATH5, writing every entry but the
// first, and returns the key under which the caller must still store `path` ("PATH1"), or
// "NoSave" when the list already holds it in its place.
std::string UpdateFileHistory(KanjiModule& module, const std::string& path);

class FILE_Sentaku : public forms::Form {
 public:
  explicit FILE_Sentaku(KanjiModule& module);

  // Sets LastFileName to the part after the last "/" and tells whether `path` names a file.
  bool ExistFile(const std::string& path);
  void RefreshFileList();

  bool FileOpened() const { return file_opened_; }
  const std::string& SamplePath() const { return sample_path_; }
  const std::string& LastFileName() const { return last_file_name_; }

 private:
  void UserForm_Activate();
  void CMD_Click(int index);
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Sample_Click();
  void FinishSelection();
  // Opens a workbook in the host; a failure is told to the user and leaves the dialog open.
  bool OpenWorkbook(const std::string& path);

  KanjiModule& module_;
  bool file_opened_ = false;
  std::array<std::string, 5> history_path_;
  std::string sample_path_;
  std::string last_file_name_;
};

}  // namespace tessarin::workbook
