// Dialog controls: property changes that fire events.
#include "core/forms/control.h"

#include <string>

#include "core/host/host_error.h"

namespace tessarin::forms {

using host::HostError;

Control::Control(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

Control::~Control() = default;

bool Control::CanHoldFocus() const { return kind_ != Kind::kLabel && kind_ != Kind::kImage; }

void TextBox::set_text(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  if (auto change = on_change) change();
}

void CheckBox::set_value(bool value) {
  if (value == value_) return;
  value_ = value;
  // Copies: a handler may replace the handlers of its own control.
  if (auto change = on_change) change();
  if (auto click = on_click) click();
}

void CommandButton::Fire() {
  if (array_ != nullptr) {
    if (auto click = array_->on_click) click(index_);
  } else if (auto click = on_click) {
    click();
  }
}

CommandButton& ButtonArray::operator[](int index) const {
  if (index < 0 || index >= size()) {
    throw HostError(host::kErrSubscriptOutOfRange,
                    "Subscript out of range: " + name_ + "(" + std::to_string(index) + ")");
  }
  return *members_[index];
}

MultiPage::Page& MultiPage::page(int index) {
  return const_cast<Page&>(static_cast<const MultiPage*>(this)->page(index));
}

const MultiPage::Page& MultiPage::page(int index) const {
  if (index < 0 || index >= page_count()) {
    throw HostError(host::kErrSubscriptOutOfRange,
                    "Subscript out of range: page " + std::to_string(index) + " of " + name());
  }
  return pages_[index];
}

void MultiPage::set_value(int index) {
  if (index < 0 || index >= page_count()) {
    throw HostError(380, "Invalid property value: page " + std::to_string(index) + " of " + name());
  }
  if (index == value_) return;
  value_ = index;
  if (auto change = on_change) change();
}

std::string_view KindName(Control::Kind kind) {
  switch (kind) {
    case Control::Kind::kLabel:
      return "label";
    case Control::Kind::kTextBox:
      return "text box";
    case Control::Kind::kCheckBox:
      return "check box";
    case Control::Kind::kToggleButton:
      return "toggle button";
    case Control::Kind::kCommandButton:
      return "command button";
    case Control::Kind::kMultiPage:
      return "page control";
    case Control::Kind::kImage:
      return "picture";
  }
  return "control";
}

}  // namespace tessarin::forms
