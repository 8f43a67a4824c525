// The one place where a file reader hangs what it kept of a file beyond the model (parts,
// attributes and elements the host does not understand), so that saving in the same format
// writes them back. The model never looks inside: it keeps, copies and compares them only.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace tessarin::host {

// Base of every reader's kept content. A reader derives its own types and recognises them again
// with dynamic_cast; content of another reader's type is simply not its own.
class FileExtras {
 public:
  virtual ~FileExtras() = default;
  // Whether `other` holds the same content. Records holding equal extras are equal, which is
  // what lets the style pool share a format read twice or pasted from another workbook.
  virtual bool SameAs(const FileExtras& other) const { return this == &other; }
  virtual size_t Hash() const { return std::hash<const void*>()(this); }
};

// Immutable kept content attached to a model record (a font, a format, a row, a comment ...);
// empty for almost every record. Copies of the record share the content.
class FileExtrasRef {
 public:
  FileExtrasRef() = default;
  explicit FileExtrasRef(std::shared_ptr<const FileExtras> content)
      : content_(std::move(content)) {}

  const FileExtras* get() const { return content_.get(); }
  explicit operator bool() const { return content_ != nullptr; }
  void reset() { content_.reset(); }
  size_t Hash() const { return content_ ? content_->Hash() : 0; }

  friend bool operator==(const FileExtrasRef& a, const FileExtrasRef& b) {
    if (a.content_ == b.content_) return true;
    return a.content_ && b.content_ && a.content_->SameAs(*b.content_);
  }

 private:
  std::shared_ptr<const FileExtras> content_;
};

}  // namespace tessarin::host
