// Command bars: controls, popups, the built-in "cell" bar and its reset.
#include "core/host/command_bars.h"

#include <algorithm>

#include "core/host/host_error.h"

namespace tessarin::host {
namespace {

[[noreturn]] void InvalidCall(const std::string& why) {
  throw HostError(kErrInvalidProcedureCall, "Invalid procedure call or argument: " + why);
}

bool NamesEqualAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

}  // namespace

const std::vector<BuiltInControl>& CellBarBuiltIns() {
  // The cell context menu of the Japanese host, with its icons and separators.
  static const std::vector<BuiltInControl> kItems = {
      {"切り取り(&T)", 21, false},           {"コピー(&C)", 19, false},
      {"貼り付け(&P)", 22, false},           {"形式を選択して貼り付け(&S)...", 755, false},
      {"挿入(&I)...", 3181, true},           {"削除(&D)...", 292, false},
      {"数式と値のクリア(&N)", 3125, false}, {"コメントの挿入(&M)", 2031, true},
      {"セルの書式設定(&F)...", 855, true},  {"ドロップダウン リストから選択(&K)...", 1966, false},
      {"ふりがなの表示(&S)", 1559, true},    {"名前の定義(&A)...", 13380, true},
      {"ハイパーリンク(&H)...", 1576, true},
  };
  return kItems;
}

// --- ControlList ---

ControlList::~ControlList() = default;

CommandBarControl& ControlList::Item(int index) const {
  if (index < 1 || index > Count()) {
    InvalidCall("there is no control " + std::to_string(index) + " (the bar has " +
                std::to_string(Count()) + ").");
  }
  return *controls_[index - 1];
}

CommandBarControl& ControlList::Item(std::string_view caption) const {
  CommandBarControl* c = Find(caption);
  if (!c) InvalidCall("there is no control \"" + std::string(caption) + "\".");
  return *c;
}

CommandBarControl* ControlList::Find(std::string_view caption) const {
  for (const auto& c : controls_) {
    if (c->Caption() == caption) return c.get();
  }
  return nullptr;
}

CommandBarControl& ControlList::Add(int type, int before) {
  if (type != kMsoControlButton && type != kMsoControlPopup) {
    InvalidCall("control type " + std::to_string(type) + " is not a button (1) or a popup (10).");
  }
  if (before < 0 || before > Count() + 1) {
    InvalidCall("position " + std::to_string(before) + " is outside 1 to " +
                std::to_string(Count() + 1) + ".");
  }
  auto control = std::make_unique<CommandBarControl>(type, false);
  control->parent_ = this;
  const size_t at = before == 0 ? controls_.size() : static_cast<size_t>(before - 1);
  return **controls_.insert(controls_.begin() + at, std::move(control));
}

void ControlList::Remove(const CommandBarControl* control) {
  auto it = std::find_if(controls_.begin(), controls_.end(),
                         [&](const auto& c) { return c.get() == control; });
  if (it != controls_.end()) controls_.erase(it);
}

// --- CommandBarControl ---

CommandBarControl::CommandBarControl(int type, bool built_in) : type_(type), built_in_(built_in) {
  if (type_ == kMsoControlPopup) children_ = std::make_unique<ControlList>();
}

std::optional<int> CommandBarControl::FaceId() const {
  if (IsPopup()) return std::nullopt;
  return face_id_;
}

void CommandBarControl::SetFaceId(int face_id) {
  if (IsPopup())
    throw HostError(kErrNotSupported,
                    "Object doesn't support this property or method: a popup has no FaceId.");
  face_id_ = face_id;
}

ControlList& CommandBarControl::Controls() {
  if (!children_)
    throw HostError(kErrNotSupported, "Object doesn't support this property or method: \"" +
                                          caption_ + "\" is not a popup.");
  return *children_;
}

const ControlList& CommandBarControl::Controls() const {
  return const_cast<CommandBarControl*>(this)->Controls();
}

void CommandBarControl::Delete() {
  if (parent_) parent_->Remove(this);  // destroys *this
}

// --- CommandBar ---

CommandBar::CommandBar(std::string name, std::vector<BuiltInControl> built_in)
    : name_(std::move(name)), built_in_(std::move(built_in)) {
  Reset();
}

void CommandBar::Reset() {
  controls_.controls_.clear();
  for (const BuiltInControl& item : built_in_) {
    auto control = std::make_unique<CommandBarControl>(kMsoControlButton, true);
    control->SetCaption(std::string(item.caption));
    control->SetFaceId(item.face_id);
    control->SetBeginGroup(item.begin_group);
    control->parent_ = &controls_;
    controls_.controls_.push_back(std::move(control));
  }
}

// --- CommandBarCollection ---

CommandBarCollection::CommandBarCollection() {
  bars_.push_back(std::make_unique<CommandBar>("Cell", CellBarBuiltIns()));
}

CommandBar* CommandBarCollection::Find(std::string_view name) {
  for (const auto& b : bars_) {
    if (NamesEqualAscii(b->Name(), name)) return b.get();
  }
  return nullptr;
}

CommandBar& CommandBarCollection::Item(std::string_view name) {
  CommandBar* bar = Find(name);
  if (!bar) InvalidCall("there is no command bar \"" + std::string(name) + "\".");
  return *bar;
}

}  // namespace tessarin::host
