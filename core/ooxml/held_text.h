// HeldText: a part's text written once into room reserved up front, never moved or copied.
#pragma once

#include <cstddef>
#include <string_view>

namespace tessarin::ooxml {

// Room for up to `capacity` bytes reserved as address space only: memory is taken page by page
// as the text reaches it (in large pages past the first few MiB, where the system allows), so a
// generous reservation costs nothing, and the text never moves as it grows. One owner, one thread.
class HeldText {
 public:
  HeldText() = default;
  // Reserves the room; ok() is false when the system gives none (or `capacity` is 0).
  explicit HeldText(size_t capacity);
  HeldText(HeldText&& other) noexcept;
  HeldText& operator=(HeldText&& other) noexcept;
  HeldText(const HeldText&) = delete;
  HeldText& operator=(const HeldText&) = delete;
  ~HeldText();

  bool ok() const { return base_ != nullptr; }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  size_t room() const { return capacity_ - size_; }
  std::string_view view() const { return {base_, size_}; }
  // Where the next byte goes; at most room() bytes may be written there before Advance.
  char* end() { return base_ + size_; }
  // Takes `n` bytes written at end() into the text (n <= room()).
  void Advance(size_t n) { size_ += n; }
  // Appends `text`; false, changing nothing, when it does not fit.
  bool Append(std::string_view text);
  // Gives back the memory of the whole pages among the first `prefix` bytes, which must not be
  // read again; the rest of the text, and the room, stay.
  void GiveBack(size_t prefix);
  // Gives the room back; ok() is then false.
  void Release();

 private:
  char* base_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace tessarin::ooxml
