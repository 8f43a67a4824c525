// A small dialog built the way the add-in's dialogs are.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "core/forms/form.h"

namespace tessarin::forms {

// Tab order as added: T1, Label1, T2, CBox, CheckBox1, TB1, CommandButton1, CommandButton2,
// CMD(0..2), MultiPage1 (TextBox8 on page 1, Image1 on page 0).
class TestDialog : public Form {
 public:
  explicit TestDialog(Ui& ui) : Form("TestForm1", "テスト", 180, 210), ui_(ui) {
    t1_.set_text("1");
    t1_.on_exit = [this](bool& cancel) {
      char* end = nullptr;
      double value = std::strtod(t1_.text().c_str(), &end);
      if (t1_.text().empty() || *end != '\0' || value < 1) {
        ui_.MsgBox("1以上の整数を入力して下さい。 ");
        cancel = true;
      }
    };
    cbox_.on_change = [this] {
      if (cbox_.value()) checkbox1_.set_value(false);
    };
    checkbox1_.on_change = [this] {
      if (checkbox1_.value()) cbox_.set_value(false);
    };
    tb1_.on_click = [this] { tb1_.set_caption(tb1_.value() ? "４０問" : "２０問"); };
    create_.on_click = [this] { ++creates; };
    close_.on_click = [this] { Unload(); };
    history_.on_click = [this](int index) { clicked.push_back(index); };
    PutOnPage(textbox8_, pages_, 1);
    PutOnPage(image1_, pages_, 0);
    on_load = [this] { ++loads; };
    on_activate = [this] { ++activations; };
    on_query_close = [this](bool& cancel) { cancel = refuse_close; };
    on_unload = [this] { ++unloads; };
  }

  int loads = 0;
  int activations = 0;
  int unloads = 0;
  int creates = 0;
  bool refuse_close = false;
  std::vector<int> clicked;

 private:
  Ui& ui_;
  TextBox& t1_ = AddTextBox("T1", {55.5, 42.7, 30, 15});
  Label& label1_ = AddLabel("Label1", "出題範囲");
  TextBox& t2_ = AddTextBox("T2");
  CheckBox& cbox_ = AddCheckBox("CBox", "間違い度数を無視する");
  CheckBox& checkbox1_ = AddCheckBox("CheckBox1", "一度出題された問題を除く");
  ToggleButton& tb1_ = AddToggleButton("TB1", "２０問");
  CommandButton& create_ = AddCommandButton("CommandButton1", "作成");
  CommandButton& close_ = AddCommandButton("CommandButton2", "閉じる");
  ButtonArray& history_ = AddButtonArray("CMD", 3);
  MultiPage& pages_ = AddMultiPage("MultiPage1", {"４０題", "２０題"});
  TextBox& textbox8_ = AddTextBox("TextBox8");
  Image& image1_ = AddImage("Image1", "page40.png");
};

}  // namespace tessarin::forms
