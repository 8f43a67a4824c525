// HeldText: a part's text written once into room reserved up front, never copied once big.
#pragma once

#include <cstddef>
#include <string_view>

namespace tessarin::ooxml {

// Room for up to `capacity` bytes of text. A small text lives on the heap; one that grows past
// 256 KiB moves once into room reserved as address space for the whole capacity, where memory is
// taken page by page as the text reaches it (in large pages past the first few MiB, where the
// system allows) and the text never moves again. One owner, one thread.
class HeldText {
 public:
  HeldText() = default;
  // Nothing is taken yet; ok() is false when `capacity` is 0.
  explicit HeldText(size_t capacity);
  HeldText(HeldText&& other) noexcept;
  HeldText& operator=(HeldText&& other) noexcept;
  HeldText(const HeldText&) = delete;
  HeldText& operator=(const HeldText&) = delete;
  ~HeldText();

  // False once released, or when memory could not be had.
  bool ok() const { return capacity_ > 0; }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  size_t room() const { return capacity_ - size_; }
  std::string_view view() const { return {base_, size_}; }
  // Makes `n` bytes writable at end(); false when they do not fit in the capacity (nothing
  // changes) or memory could not be had (the text is released).
  bool Reserve(size_t n);
  // Where the next byte goes: up to the bytes last reserved may be written there before Advance.
  char* end() { return base_ + size_; }
  // Takes `n` bytes written at end() into the text (n no more than reserved).
  void Advance(size_t n) { size_ += n; }
  // Appends `text`; false when it does not fit (nothing changes) or memory could not be had.
  bool Append(std::string_view text);
  // Gives back the room past the memory the text takes: a finished text keeps no reservation.
  void Fit();
  // Gives the room back; ok() is then false.
  void Release();

 private:
  bool Grow(size_t needed);

  char* base_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;  // the most the text may take
  size_t taken_ = 0;     // the memory at base_: on the heap, or reserved whole once mapped
  bool mapped_ = false;
};

}  // namespace tessarin::ooxml
