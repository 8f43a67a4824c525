// Form: building, lookup, focus and tab order, the modal life cycle and the user's gestures.
#include "core/forms/form.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/forms/ui.h"

namespace tessarin::forms {

using host::HostError;

namespace {

Gesture Refused(std::string reason) { return {Gesture::Outcome::kRefused, std::move(reason)}; }

Gesture Held(const Control* focus) {
  return {Gesture::Outcome::kHeld, focus != nullptr ? focus->name() + " kept the focus" : ""};
}

std::string Quote(std::string_view name) { return "\"" + std::string(name) + "\""; }

}  // namespace

Form::Form(std::string name, std::string caption, double width, double height)
    : name_(std::move(name)), caption_(std::move(caption)), width_(width), height_(height) {}

Form::~Form() = default;

// ---------------------------------------------------------------------------------------------
// Building

template <class T>
T& Form::AddControl(std::unique_ptr<T> control) {
  if (Find(control->name()) != nullptr || FindArray(control->name()) != nullptr) {
    throw HostError(
        host::kErrInvalidProcedureCall,
        "Invalid procedure call: " + name_ + " already has a control " + control->name());
  }
  control->order_ = static_cast<int>(order_.size());
  control->tab_index_ = static_cast<int>(std::count_if(
      order_.begin(), order_.end(), [](const Control* c) { return c->container_ == nullptr; }));
  T& added = *control;
  order_.push_back(control.get());
  owned_.push_back(std::move(control));
  return added;
}

Label& Form::AddLabel(std::string name, std::string caption, const Bounds& bounds) {
  Label& label = AddControl(std::make_unique<Label>(std::move(name)));
  label.set_caption(std::move(caption));
  label.set_bounds(bounds);
  return label;
}

TextBox& Form::AddTextBox(std::string name, const Bounds& bounds) {
  TextBox& box = AddControl(std::make_unique<TextBox>(std::move(name)));
  box.set_bounds(bounds);
  return box;
}

CheckBox& Form::AddCheckBox(std::string name, std::string caption, const Bounds& bounds) {
  CheckBox& box = AddControl(std::make_unique<CheckBox>(std::move(name)));
  box.set_caption(std::move(caption));
  box.set_bounds(bounds);
  return box;
}

ToggleButton& Form::AddToggleButton(std::string name, std::string caption, const Bounds& bounds) {
  ToggleButton& toggle = AddControl(std::make_unique<ToggleButton>(std::move(name)));
  toggle.set_caption(std::move(caption));
  toggle.set_bounds(bounds);
  return toggle;
}

CommandButton& Form::AddCommandButton(std::string name, std::string caption, const Bounds& bounds) {
  CommandButton& button = AddControl(std::make_unique<CommandButton>(std::move(name)));
  button.set_caption(std::move(caption));
  button.set_bounds(bounds);
  return button;
}

ButtonArray& Form::AddButtonArray(std::string name, int count) {
  if (count < 1 || Find(name) != nullptr || FindArray(name) != nullptr) {
    throw HostError(
        host::kErrInvalidProcedureCall,
        "Invalid procedure call: cannot add the control array " + name + " to " + name_);
  }
  auto array = std::unique_ptr<ButtonArray>(new ButtonArray(name));
  for (int i = 0; i < count; ++i) {
    CommandButton& member =
        AddControl(std::make_unique<CommandButton>(name + "(" + std::to_string(i) + ")"));
    member.array_ = array.get();
    member.index_ = i;
    array->members_.push_back(&member);
  }
  arrays_.push_back(std::move(array));
  return *arrays_.back();
}

MultiPage& Form::AddMultiPage(std::string name, std::vector<std::string> page_captions,
                              const Bounds& bounds) {
  if (page_captions.empty()) {
    throw HostError(host::kErrInvalidProcedureCall,
                    "Invalid procedure call: " + name + " needs at least one page");
  }
  MultiPage& pages = AddControl(std::make_unique<MultiPage>(std::move(name)));
  for (std::string& caption : page_captions) pages.pages_.push_back({std::move(caption), true});
  pages.set_bounds(bounds);
  return pages;
}

Image& Form::AddImage(std::string name, std::string picture, const Bounds& bounds) {
  Image& image = AddControl(std::make_unique<Image>(std::move(name)));
  image.set_picture(std::move(picture));
  image.set_bounds(bounds);
  return image;
}

void Form::PutOnPage(Control& control, const MultiPage& pages, int page) {
  bool ours = Find(control.name()) == &control && Find(pages.name()) == &pages;
  // A page may not end up inside the control it holds.
  bool cycle = false;
  for (const Control* c = &pages; c != nullptr; c = c->container_) cycle |= (c == &control);
  if (!ours || cycle || page < 0 || page >= pages.page_count()) {
    throw HostError(host::kErrInvalidProcedureCall,
                    "Invalid procedure call: cannot put " + control.name() + " on page " +
                        std::to_string(page) + " of " + pages.name());
  }
  control.container_ = &pages;
  control.page_ = page;
  control.tab_index_ =
      static_cast<int>(std::count_if(order_.begin(), order_.end(), [&](const Control* c) {
        return c != &control && c->container_ == &pages && c->page_ == page;
      }));
}

// ---------------------------------------------------------------------------------------------
// Lookup

Control* Form::Find(std::string_view name) const {
  for (Control* control : order_) {
    if (control->name() == name) return control;
  }
  return nullptr;
}

Control& Form::GetControl(std::string_view name) const {
  Control* control = Find(name);
  if (control == nullptr) {
    throw HostError(host::kErrSubscriptOutOfRange,
                    "Subscript out of range: no control " + std::string(name) + " on " + name_);
  }
  return *control;
}

void Form::ThrowWrongKind(const Control& control) const {
  throw HostError(host::kErrTypeMismatch, "Type mismatch: " + control.name() + " on " + name_ +
                                              " is a " + std::string(KindName(control.kind())));
}

ButtonArray* Form::FindArray(std::string_view name) const {
  for (const auto& array : arrays_) {
    if (array->name() == name) return array.get();
  }
  return nullptr;
}

ButtonArray& Form::GetArray(std::string_view name) const {
  ButtonArray* array = FindArray(name);
  if (array == nullptr) {
    throw HostError(host::kErrSubscriptOutOfRange, "Subscript out of range: no control array " +
                                                       std::string(name) + " on " + name_);
  }
  return *array;
}

// ---------------------------------------------------------------------------------------------
// Focus and tab order

bool Form::Reachable(const Control& control) const {
  for (const Control* c = &control;; c = c->container_) {
    if (!c->enabled() || !c->visible()) return false;
    const MultiPage* pages = c->container_;
    if (pages == nullptr) return true;
    if (pages->value() != c->page_ || !pages->pages_[c->page_].enabled) return false;
  }
}

// Every control the Tab key passes, eligible or not: a container's controls by tab index, a
// MultiPage followed by the controls of its selected page.
void Form::AppendTabOrder(const MultiPage* container, int page, std::vector<Control*>& out) const {
  std::vector<Control*> level;
  for (Control* c : order_) {
    if (c->container_ == container && (container == nullptr || c->page_ == page)) {
      level.push_back(c);
    }
  }
  std::stable_sort(level.begin(), level.end(), [](const Control* a, const Control* b) {
    return a->tab_index_ < b->tab_index_;
  });
  for (Control* c : level) {
    out.push_back(c);
    if (c->kind() == Control::Kind::kMultiPage) {
      const auto* pages = static_cast<const MultiPage*>(c);
      AppendTabOrder(pages, pages->value(), out);
    }
  }
}

std::vector<Control*> Form::TabOrder() const {
  std::vector<Control*> all;
  AppendTabOrder(nullptr, -1, all);
  std::vector<Control*> order;
  for (Control* c : all) {
    if (c->CanHoldFocus() && c->tab_stop() && Reachable(*c)) order.push_back(c);
  }
  return order;
}

Control* Form::NextInTabOrder(const Control& from) const {
  std::vector<Control*> all;
  AppendTabOrder(nullptr, -1, all);
  // A control on a page not shown counts from its MultiPage.
  auto at = all.end();
  for (const Control* c = &from; c != nullptr && at == all.end(); c = c->container_) {
    at = std::find(all.begin(), all.end(), c);
  }
  std::size_t start = at == all.end() ? all.size() - 1 : at - all.begin();
  for (std::size_t step = 1; step <= all.size(); ++step) {
    Control* c = all[(start + step) % all.size()];
    if (c->CanHoldFocus() && c->tab_stop() && Reachable(*c)) return c;
  }
  return nullptr;
}

void Form::NormalizeFocus() {
  if (focus_ != nullptr && Reachable(*focus_)) return;
  if (focus_ != nullptr) {
    focus_ = NextInTabOrder(*focus_);
  } else {
    std::vector<Control*> order = TabOrder();
    focus_ = order.empty() ? nullptr : order.front();
  }
}

void Form::SetFocus(std::string_view name) {
  Control& control = GetControl(name);
  if (!control.CanHoldFocus() || !Reachable(control)) {
    throw HostError(host::kErrInvalidProcedureCall,
                    "Invalid procedure call: " + control.name() + " cannot take the focus");
  }
  focus_ = &control;
}

// ---------------------------------------------------------------------------------------------
// Life cycle

void Form::Load() {
  if (loaded_) return;
  loaded_ = true;
  focus_ = nullptr;
  if (auto load = on_load) load();
}

void Form::Show(Ui& ui) {
  if (visible_) {
    throw HostError(400, "Form already displayed; can't show modally: " + name_);
  }
  try {
    Load();
    if (!loaded_) return;
    visible_ = true;
    ui_ = &ui;
    ui.ShowModal(*this);
    // The Ui must not leave a form on screen behind it.
    if (visible_) Unload();
    ui_ = nullptr;
  } catch (...) {
    Abort();
    throw;
  }
}

void Form::Hide() {
  if (!visible_) return;
  visible_ = false;
  if (ui_ != nullptr) ui_->FormClosed(*this, false);
}

void Form::Unload() {
  if (!loaded_ || unloading_) return;
  unloading_ = true;
  try {
    if (auto unload = on_unload) unload();
  } catch (...) {
    unloading_ = false;
    throw;
  }
  unloading_ = false;
  loaded_ = false;
  visible_ = false;
  focus_ = nullptr;
  if (ui_ != nullptr) ui_->FormClosed(*this, true);
}

// An error abandons the command: the form goes away without further events of its own.
void Form::Abort() {
  bool was_loaded = loaded_;
  loaded_ = false;
  visible_ = false;
  unloading_ = false;
  focus_ = nullptr;
  Ui* ui = std::exchange(ui_, nullptr);
  if (was_loaded && ui != nullptr) {
    try {
      ui->FormClosed(*this, true);
    } catch (...) {
      // The error being thrown matters more than a failing notice.
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Gestures

void Form::Activated() {
  if (!visible_) return;
  if (auto activate = on_activate) activate();
  if (visible_) NormalizeFocus();
}

Control* Form::Target(std::string_view name, Control::Kind kind, Gesture& refusal) const {
  if (!visible_) {
    refusal = Refused(name_ + " is not shown");
    return nullptr;
  }
  Control* control = Find(name);
  if (control == nullptr) {
    refusal = FindArray(name) != nullptr
                  ? Refused(std::string(name) + " is a control array: say which member")
                  : Refused("no control " + Quote(name) + " on " + name_);
    return nullptr;
  }
  if (control->kind() != kind) {
    refusal = Refused(control->name() + " is a " + std::string(KindName(control->kind())) +
                      ", not a " + std::string(KindName(kind)));
    return nullptr;
  }
  // Name the first thing in the way, innermost first.
  for (const Control* c = control; c != nullptr; c = c->container_) {
    if (!c->visible()) {
      refusal = Refused(c->name() + " is not visible");
      return nullptr;
    }
    if (!c->enabled()) {
      refusal = Refused(c->name() + " is disabled");
      return nullptr;
    }
    const MultiPage* pages = c->container_;
    if (pages != nullptr && !pages->pages_[c->page_].enabled) {
      refusal = Refused(c->name() + " is on page " + std::to_string(c->page_) + " of " +
                        pages->name() + ", which is disabled");
      return nullptr;
    }
    if (pages != nullptr && pages->value() != c->page_) {
      refusal = Refused(c->name() + " is on page " + std::to_string(c->page_) + " of " +
                        pages->name() + ", which is not selected");
      return nullptr;
    }
  }
  return control;
}

bool Form::LeaveTextBox(TextBox& box) {
  bool cancel = false;
  if (auto exit = box.on_exit) exit(cancel);
  return !cancel;
}

bool Form::TakeFocus(Control& target) {
  if (focus_ == &target) return true;
  if (focus_ != nullptr && focus_->kind() == Control::Kind::kTextBox && Reachable(*focus_)) {
    if (!LeaveTextBox(static_cast<TextBox&>(*focus_))) return false;
    // The check may have closed the form or changed what can be reached.
    if (!visible_ || !Reachable(target)) return false;
  }
  focus_ = &target;
  return true;
}

Gesture Form::UserType(std::string_view name, std::string text) {
  Gesture result;
  auto* box = static_cast<TextBox*>(Target(name, Control::Kind::kTextBox, result));
  if (box == nullptr) return result;
  if (!TakeFocus(*box)) return Held(focus_);
  box->set_text(std::move(text));
  if (visible_ && focus_ == box && LeaveTextBox(*box) && visible_ && focus_ == box) {
    focus_ = NextInTabOrder(*box);
  }
  if (visible_) NormalizeFocus();
  return result;
}

Gesture Form::UserCheck(std::string_view name, bool value) {
  Gesture result;
  auto* box = static_cast<CheckBox*>(Target(name, Control::Kind::kCheckBox, result));
  if (box == nullptr) return result;
  if (!TakeFocus(*box)) return Held(focus_);
  box->set_value(value);
  if (visible_) NormalizeFocus();
  return result;
}

Gesture Form::UserToggle(std::string_view name, bool value) {
  Gesture result;
  auto* toggle = static_cast<ToggleButton*>(Target(name, Control::Kind::kToggleButton, result));
  if (toggle == nullptr) return result;
  if (!TakeFocus(*toggle)) return Held(focus_);
  toggle->set_value(value);
  if (visible_) NormalizeFocus();
  return result;
}

Gesture Form::UserSelectPage(std::string_view name, int page) {
  Gesture result;
  auto* pages = static_cast<MultiPage*>(Target(name, Control::Kind::kMultiPage, result));
  if (pages == nullptr) return result;
  if (page < 0 || page >= pages->page_count()) {
    return Refused(pages->name() + " has no page " + std::to_string(page));
  }
  if (!pages->pages_[page].enabled) {
    return Refused("page " + std::to_string(page) + " of " + pages->name() + " is disabled");
  }
  if (!TakeFocus(*pages)) return Held(focus_);
  pages->set_value(page);
  if (visible_) NormalizeFocus();
  return result;
}

Gesture Form::UserClick(std::string_view name) {
  Gesture result;
  auto* button = static_cast<CommandButton*>(Target(name, Control::Kind::kCommandButton, result));
  if (button == nullptr) return result;
  if (!TakeFocus(*button)) return Held(focus_);
  button->Fire();
  if (visible_) NormalizeFocus();
  return result;
}

Gesture Form::UserClick(std::string_view array, int index) {
  ButtonArray* buttons = FindArray(array);
  if (buttons == nullptr) {
    return Refused(Find(array) != nullptr ? std::string(array) + " is not a control array"
                                          : "no control array " + Quote(array) + " on " + name_);
  }
  if (index < 0 || index >= buttons->size()) {
    return Refused(std::string(array) + " has no member " + std::to_string(index));
  }
  return UserClick((*buttons)[index].name());
}

Gesture Form::UserFocus(std::string_view name) {
  if (!visible_) return Refused(name_ + " is not shown");
  Control* control = Find(name);
  if (control == nullptr) return Refused("no control " + Quote(name) + " on " + name_);
  if (!control->CanHoldFocus() || !Reachable(*control)) {
    return Refused(control->name() + " cannot take the focus now");
  }
  if (!TakeFocus(*control)) return Held(focus_);
  if (visible_) NormalizeFocus();
  return {};
}

bool Form::UserCloseBox() {
  if (!visible_) return false;
  bool cancel = false;
  if (auto query_close = on_query_close) query_close(cancel);
  if (cancel) return false;
  Unload();
  return !loaded_;
}

}  // namespace tessarin::forms
