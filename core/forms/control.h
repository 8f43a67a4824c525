// Dialog controls: labels, text boxes, check boxes, toggle buttons, command buttons, button
// arrays, two-page controls and pictures, with their properties and event handlers.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::forms {

class ButtonArray;
class Form;
class MultiPage;

// Position and size in points, from the top-left corner of the form's inside (or of the page
// that holds the control).
struct Bounds {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
};

// What every control has. Controls are created and owned by their Form (Form::AddTextBox ...);
// references to them stay valid for the form's lifetime.
//
// Handlers are plain std::function members that the dialog class assigns; an empty handler
// does nothing. Setting a value from code fires the same events as a user's change, as the
// forms library does, but only when the value really changes.
class Control {
 public:
  enum class Kind {
    kLabel,
    kTextBox,
    kCheckBox,
    kToggleButton,
    kCommandButton,
    kMultiPage,
    kImage
  };

  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  Kind kind() const { return kind_; }
  // The key in the form's collection: "T1", or "CMD(2)" for a member of a control array.
  const std::string& name() const { return name_; }

  // Meaningful for labels, check boxes, toggle buttons and command buttons; the others keep
  // it only for completeness and leave it out of their snapshot.
  const std::string& caption() const { return caption_; }
  void set_caption(std::string caption) { caption_ = std::move(caption); }

  const Bounds& bounds() const { return bounds_; }
  void set_bounds(const Bounds& bounds) { bounds_ = bounds; }

  bool enabled() const { return enabled_; }
  void set_enabled(bool enabled) { enabled_ = enabled; }
  bool visible() const { return visible_; }
  void set_visible(bool visible) { visible_ = visible; }

  // Order among the controls of the same container (the form, or one page of a MultiPage).
  // Ties keep the order in which the controls were added.
  int tab_index() const { return tab_index_; }
  void set_tab_index(int tab_index) { tab_index_ = tab_index; }
  // False: the Tab key passes over the control; a click still focuses it.
  bool tab_stop() const { return tab_stop_; }
  void set_tab_stop(bool tab_stop) { tab_stop_ = tab_stop; }

  // The tooltip (ControlTipText); empty for none.
  const std::string& tooltip() const { return tooltip_; }
  void set_tooltip(std::string tooltip) { tooltip_ = std::move(tooltip); }

  // Empty name or size 0: the form's default font.
  const std::string& font_name() const { return font_name_; }
  double font_size() const { return font_size_; }
  void set_font(std::string name, double size) {
    font_name_ = std::move(name);
    font_size_ = size;
  }

  // The MultiPage and page index that hold this control, or nullptr and -1 when it sits on
  // the form itself (Form::PutOnPage).
  const MultiPage* container() const { return container_; }
  int page() const { return page_; }

  // True for the kinds that can hold the focus (text boxes, check and toggle buttons, command
  // buttons, MultiPages); labels and pictures never do.
  bool CanHoldFocus() const;

 protected:
  Control(Kind kind, std::string name);

 private:
  friend class Form;

  Kind kind_;
  std::string name_;
  std::string caption_;
  Bounds bounds_;
  bool enabled_ = true;
  bool visible_ = true;
  int tab_index_ = 0;
  bool tab_stop_ = true;
  std::string tooltip_;
  std::string font_name_;
  double font_size_ = 0;
  const MultiPage* container_ = nullptr;
  int page_ = -1;
  int order_ = 0;  // position of addition, to break tab index ties
};

class Label : public Control {
 public:
  explicit Label(std::string name) : Control(Kind::kLabel, std::move(name)) {}
};

class TextBox : public Control {
 public:
  explicit TextBox(std::string name) : Control(Kind::kTextBox, std::move(name)) {}

  const std::string& text() const { return text_; }
  // Fires on_change when the text differs.
  void set_text(std::string text);

  // A report box of several lines (it keeps line breaks and scrolls).
  bool multi_line() const { return multi_line_; }
  void set_multi_line(bool multi_line) { multi_line_ = multi_line; }

  // Runs after the text changed, by the user or by code.
  std::function<void()> on_change;
  // Runs when the focus is about to leave the box; setting cancel keeps the focus in it and
  // stops whatever the user was doing elsewhere.
  std::function<void(bool& cancel)> on_exit;

 private:
  std::string text_;
  bool multi_line_ = false;
};

// Check boxes and toggle buttons: a Boolean Value; a change fires on_change, then on_click.
class CheckBox : public Control {
 public:
  explicit CheckBox(std::string name) : CheckBox(Kind::kCheckBox, std::move(name)) {}

  bool value() const { return value_; }
  void set_value(bool value);

  std::function<void()> on_change;
  std::function<void()> on_click;

 protected:
  CheckBox(Kind kind, std::string name) : Control(kind, std::move(name)) {}

 private:
  bool value_ = false;
};

// Value true is "pressed".
class ToggleButton : public CheckBox {
 public:
  explicit ToggleButton(std::string name) : CheckBox(Kind::kToggleButton, std::move(name)) {}
};

class CommandButton : public Control {
 public:
  explicit CommandButton(std::string name) : Control(Kind::kCommandButton, std::move(name)) {}

  // The array this button belongs to, or nullptr; index() is its index there, else -1.
  ButtonArray* array() const { return array_; }
  int index() const { return index_; }

  // Runs the click handler: the array's on_click with this member's index for an array
  // member, else the button's own on_click.
  void Fire();

  std::function<void()> on_click;

 private:
  friend class Form;

  ButtonArray* array_ = nullptr;
  int index_ = -1;
};

// A control array of command buttons sharing a name ("CMD") and one click handler that
// receives the member's index. Members are keyed "CMD(0)", "CMD(1)" ... in the form.
class ButtonArray {
 public:
  ButtonArray(const ButtonArray&) = delete;
  ButtonArray& operator=(const ButtonArray&) = delete;

  const std::string& name() const { return name_; }
  int size() const { return static_cast<int>(members_.size()); }
  // Throws HostError 9 when index is outside 0 .. size() - 1.
  CommandButton& operator[](int index) const;

  std::function<void(int index)> on_click;

 private:
  friend class Form;
  explicit ButtonArray(std::string name) : name_(std::move(name)) {}

  std::string name_;
  std::vector<CommandButton*> members_;
};

// A control of tabbed pages. Value is the index of the selected page.
class MultiPage : public Control {
 public:
  struct Page {
    std::string caption;
    bool enabled = true;
  };

  explicit MultiPage(std::string name) : Control(Kind::kMultiPage, std::move(name)) {}

  int page_count() const { return static_cast<int>(pages_.size()); }
  // Throws HostError 9 when index is outside 0 .. page_count() - 1.
  Page& page(int index);
  const Page& page(int index) const;

  int value() const { return value_; }
  // Selects a page from code (a disabled one too) and fires on_change when the selection
  // changes. Throws HostError 380 for an index outside the pages.
  void set_value(int index);

  std::function<void()> on_change;

 private:
  friend class Form;

  std::vector<Page> pages_;
  int value_ = 0;
};

class Image : public Control {
 public:
  explicit Image(std::string name) : Control(Kind::kImage, std::move(name)) {}

  // Path of the picture file, empty for none; the front end loads it.
  const std::string& picture() const { return picture_; }
  void set_picture(std::string path) { picture_ = std::move(path); }

 private:
  std::string picture_;
};

// A short English word for the kind ("text box", "check box" ...), for messages.
std::string_view KindName(Control::Kind kind);

}  // namespace tessarin::forms
