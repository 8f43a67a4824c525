// Command bars: the host's "cell" context menu as real state (built-in items, added popups and
// buttons), which the front ends render and the script runner clicks through.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/constants.h"

namespace tessarin::host {

class CommandBarControl;

// The controls of a bar or of a popup, in menu order. Owns them: a control stays at the same
// address until it is deleted or its bar is reset.
class ControlList {
 public:
  ControlList() = default;
  ControlList(const ControlList&) = delete;
  ControlList& operator=(const ControlList&) = delete;
  ~ControlList();

  int Count() const { return static_cast<int>(controls_.size()); }
  // 1-based, or by caption compared exactly ("コピー(&C)"). HostError 5 when there is no such
  // control.
  CommandBarControl& Item(int index) const;
  CommandBarControl& Item(std::string_view caption) const;
  // By caption; nullptr when missing.
  CommandBarControl* Find(std::string_view caption) const;
  // Adds a control of `type` (kMsoControlButton or kMsoControlPopup; anything else is
  // HostError 5) before 1-based position `before` (0: at the end; HostError 5 past Count()+1).
  CommandBarControl& Add(int type, int before = 0);

  // Read access for front ends.
  const std::vector<std::unique_ptr<CommandBarControl>>& controls() const { return controls_; }

 private:
  friend class CommandBarControl;
  friend class CommandBar;
  void Remove(const CommandBarControl* control);
  std::vector<std::unique_ptr<CommandBarControl>> controls_;
};

class CommandBarControl {
 public:
  CommandBarControl(int type, bool built_in);
  CommandBarControl(const CommandBarControl&) = delete;
  CommandBarControl& operator=(const CommandBarControl&) = delete;

  int Type() const { return type_; }
  bool IsPopup() const { return type_ == kMsoControlPopup; }
  bool BuiltIn() const { return built_in_; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }
  // Popups have no icon: FaceId() is nullopt for them and SetFaceId throws HostError 438.
  // A button without an icon reads 0.
  std::optional<int> FaceId() const;
  void SetFaceId(int face_id);
  const std::string& OnAction() const { return on_action_; }
  void SetOnAction(std::string macro) { on_action_ = std::move(macro); }
  bool BeginGroup() const { return begin_group_; }
  void SetBeginGroup(bool on) { begin_group_ = on; }
  // The popup's own controls; HostError 438 for a button.
  ControlList& Controls();
  const ControlList& Controls() const;
  // Removes the control from its bar or popup and destroys it: do not use it afterwards.
  void Delete();

 private:
  friend class ControlList;
  friend class CommandBar;
  int type_;
  bool built_in_;
  std::string caption_;
  int face_id_ = 0;
  std::string on_action_;
  bool begin_group_ = false;
  ControlList* parent_ = nullptr;
  std::unique_ptr<ControlList> children_;  // popups only
};

// One built-in item of a bar, as Reset restores it.
struct BuiltInControl {
  std::string_view caption;
  int face_id;
  bool begin_group;
};

class CommandBar {
 public:
  CommandBar(std::string name, std::vector<BuiltInControl> built_in);
  const std::string& Name() const { return name_; }
  ControlList& Controls() { return controls_; }
  const ControlList& Controls() const { return controls_; }
  // Restores exactly the built-in items in their order, captions, icons and groups; added
  // controls go, and every control reference of the bar becomes invalid.
  void Reset();

 private:
  std::string name_;
  std::vector<BuiltInControl> built_in_;
  ControlList controls_;
};

// The host's command bars. Holds the "cell" bar (the cell context menu) with the usual
// built-in items of the Japanese host.
class CommandBarCollection {
 public:
  CommandBarCollection();
  int Count() const { return static_cast<int>(bars_.size()); }
  // By name, without regard to ASCII case ("cell", "Cell"). HostError 5 when missing.
  CommandBar& Item(std::string_view name);
  CommandBar* Find(std::string_view name);

 private:
  std::vector<std::unique_ptr<CommandBar>> bars_;
};

// The built-in items of the "cell" bar, in order.
const std::vector<BuiltInControl>& CellBarBuiltIns();

}  // namespace tessarin::host
