// Form: a modal dialog model, its controls, focus and tab order, life cycle and the user's
// gestures that a front end (scripted or on screen) passes on to it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/forms/control.h"
#include "core/host/host_error.h"

namespace tessarin::forms {

class Ui;

// The result of a user's gesture on a shown form.
struct Gesture {
  enum class Outcome {
    kDone,     // the gesture happened (its events ran)
    kHeld,     // the focused text box's Exit check kept the focus, so nothing else happened
    kRefused,  // the user could not do this (see reason); nothing happened
  };
  Outcome outcome = Outcome::kDone;
  std::string reason;  // for kRefused, e.g. "CommandButton1 is disabled"
};

// A dialog. Dialog classes derive from Form (or hold one), add their controls in the
// constructor and assign the handlers:
//
//   KanjiForm1::KanjiForm1() : Form("KanjiForm1"), t1_(AddTextBox("T1", {55.5, 42.7, 30, 15})) {
//     t1_.on_exit = [this](bool& cancel) { T1_Exit(cancel); };
//     AddCommandButton("CommandButton1", "作成").on_click = [this] { CommandButton1_Click(); };
//     AddButtonArray("CMD", 5).on_click = [this](int index) { CMD_Click(index); };
//   }
//
// Life cycle: unloaded -> Load (on_load) -> Show: shown modally through the Ui, which runs
// Activated (on_activate) once the form is on screen -> Hide (stays loaded) or Unload
// (on_unload) -> unloaded again. One instance serves every show; Show after Unload loads it
// again. Control properties survive an unload: resetting them is the dialog's own business.
//
// Handlers may throw (HostError); the exception leaves Show after the form has been unloaded
// without further events, so the instance can be shown again.
class Form {
 public:
  explicit Form(std::string name, std::string caption = "", double width = 0, double height = 0);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  const std::string& name() const { return name_; }
  const std::string& caption() const { return caption_; }
  void set_caption(std::string caption) { caption_ = std::move(caption); }
  // The inside of the form, in points.
  double width() const { return width_; }
  double height() const { return height_; }
  void set_size(double width, double height) {
    width_ = width;
    height_ = height;
  }

  // --- Building. Names are unique on the form (a duplicate throws HostError 5). A new
  // control's tab index is the number of controls already in its container.
  Label& AddLabel(std::string name, std::string caption, const Bounds& bounds = {});
  TextBox& AddTextBox(std::string name, const Bounds& bounds = {});
  CheckBox& AddCheckBox(std::string name, std::string caption, const Bounds& bounds = {});
  ToggleButton& AddToggleButton(std::string name, std::string caption, const Bounds& bounds = {});
  CommandButton& AddCommandButton(std::string name, std::string caption, const Bounds& bounds = {});
  // Members NAME(0) .. NAME(count - 1), added in index order with empty captions.
  ButtonArray& AddButtonArray(std::string name, int count);
  MultiPage& AddMultiPage(std::string name, std::vector<std::string> page_captions,
                          const Bounds& bounds = {});
  Image& AddImage(std::string name, std::string picture = "", const Bounds& bounds = {});
  // Moves a control of this form onto page `page` of `pages` (bounds become relative to the
  // page; the tab index restarts among that page's controls). Throws HostError 5 when either
  // control belongs to another form or the page does not exist.
  void PutOnPage(Control& control, const MultiPage& pages, int page);

  // --- Lookup.
  // The control keyed `name` ("T1", "CMD(2)"), or nullptr.
  Control* Find(std::string_view name) const;
  // The control keyed `name` as a T. Throws HostError 9 when there is none, 13 when it is of
  // another kind.
  template <class T = Control>
  T& Get(std::string_view name) const {
    Control& control = GetControl(name);
    T* typed = dynamic_cast<T*>(&control);
    if (typed == nullptr) ThrowWrongKind(control);
    return *typed;
  }
  // The control array `name`, or nullptr / HostError 9.
  ButtonArray* FindArray(std::string_view name) const;
  ButtonArray& GetArray(std::string_view name) const;
  // Every control in the order of addition.
  const std::vector<Control*>& controls() const { return order_; }

  // --- Focus.
  // The control holding the focus, or nullptr (before the first show, or when none can).
  Control* focus() const { return focus_; }
  // Moves the focus from code, without Exit events. Throws HostError 5 when the control
  // cannot hold the focus now (kind, disabled, hidden, or on a page not shown).
  void SetFocus(std::string_view name);
  // The controls the Tab key visits, in order: the form's own controls by tab index, each
  // MultiPage followed by the controls of its selected page. Only those that can hold the
  // focus now and are tab stops.
  std::vector<Control*> TabOrder() const;
  // True when the user could reach the control now: it and every container are enabled and
  // visible, and it sits on the selected page of its MultiPage.
  bool Reachable(const Control& control) const;

  // --- Events of the form.
  std::function<void()> on_load;
  std::function<void()> on_activate;
  // The window's close box was pressed; set cancel to keep the form open.
  std::function<void(bool& cancel)> on_query_close;
  // The form is about to unload, however that came about (close box, Unload()).
  std::function<void()> on_unload;

  // --- Life cycle.
  bool loaded() const { return loaded_; }
  bool visible() const { return visible_; }
  // Loads the form when it is not loaded (focus cleared, on_load runs). No-op otherwise.
  void Load();
  // Shows the form modally through `ui` and returns when it is unloaded or hidden. Loads it
  // first when needed; when on_load unloads it, returns at once. Throws HostError 400 when the
  // form is already shown.
  void Show(Ui& ui);
  // Hides a shown form: Show returns and the form stays loaded with its state.
  void Hide();
  // Runs on_unload and unloads the form (Show returns). No-op when not loaded or already
  // unloading.
  void Unload();

  // --- What a front end calls while the form is shown.
  // The window became active: runs on_activate, then puts the focus on the first control of
  // the tab order unless a reachable control already holds it.
  void Activated();
  // The user types `text` into a text box and leaves it: its Exit check runs; unless it
  // cancels, the focus moves to the next control of the tab order.
  Gesture UserType(std::string_view name, std::string text);
  // The user sets a check box or a toggle button (nothing happens when it already has that
  // value).
  Gesture UserCheck(std::string_view name, bool value);
  Gesture UserToggle(std::string_view name, bool value);
  // The user selects a page of a MultiPage.
  Gesture UserSelectPage(std::string_view name, int page);
  // The user clicks a command button: "CommandButton1", or a member of an array by its key
  // "CMD(2)" or by UserClick("CMD", 2).
  Gesture UserClick(std::string_view name);
  Gesture UserClick(std::string_view array, int index);
  // The user moves the focus to a control by clicking into it or with the Tab keys: the
  // focused text box's Exit check runs first and may keep the focus (kHeld).
  Gesture UserFocus(std::string_view name);
  // The window's close box: on_query_close, then Unload unless cancelled. Returns true when
  // the form unloaded.
  bool UserCloseBox();

 private:
  Control& GetControl(std::string_view name) const;
  [[noreturn]] void ThrowWrongKind(const Control& control) const;
  template <class T>
  T& AddControl(std::unique_ptr<T> control);
  // Gesture helpers: the control the user means, or a refusal.
  Control* Target(std::string_view name, Control::Kind kind, Gesture& refusal) const;
  // Moves the focus to `target` as a user's click would: the focused text box's Exit check
  // runs first. False when it held the focus.
  bool TakeFocus(Control& target);
  bool LeaveTextBox(TextBox& box);
  Control* NextInTabOrder(const Control& from) const;
  void NormalizeFocus();
  void AppendTabOrder(const MultiPage* container, int page, std::vector<Control*>& out) const;
  void Abort();

  std::string name_;
  std::string caption_;
  double width_;
  double height_;
  std::vector<std::unique_ptr<Control>> owned_;
  std::vector<Control*> order_;
  std::vector<std::unique_ptr<ButtonArray>> arrays_;
  Control* focus_ = nullptr;
  bool loaded_ = false;
  bool visible_ = false;
  bool unloading_ = false;
  Ui* ui_ = nullptr;  // the Ui showing the form, while it is shown
};

}  // namespace tessarin::forms
