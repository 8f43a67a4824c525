// HostError: a host or run-time failure, carried as the classic error number and a description.
#pragma once

#include <stdexcept>
#include <string>

namespace tessarin::host {

// The classic run-time error numbers that the host and the add-in raise.
enum ErrorNumber : int {
  kErrInvalidProcedureCall = 5,
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrSubscriptOutOfRange = 9,
  kErrDivisionByZero = 11,
  kErrTypeMismatch = 13,
  kErrBadFileName = 52,
  kErrFileNotFound = 53,
  kErrFileAlreadyOpen = 55,
  kErrDiskFull = 61,
  kErrInputPastEnd = 62,
  kErrPermissionDenied = 70,
  kErrPathFileAccess = 75,
  kErrPathNotFound = 76,
  kErrObjectVariableNotSet = 91,  // using the host's Nothing (no comment, no workbook)
  kErrObjectRequired = 424,
  kErrNotSupported = 438,  // "object doesn't support this property or method"
  kErrApplicationDefined = 1004,
};

// Thrown by core code and caught only at the boundary of the add-in's public methods and of
// the front ends, which report `number` and `description` to the caller. The one dialog that
// catches one, the file selection dialog, shows it to the user and stays open for another file.
// Code that only asks whether something would fail uses a non-throwing form (TryCp932ToUtf8,
// Workbook::SheetNameProblem ...) instead of catching.
class HostError : public std::runtime_error {
 public:
  HostError(int number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}

  int number() const { return number_; }
  const std::string& description() const { return description_; }

 private:
  int number_;
  std::string description_;
};

}  // namespace tessarin::host
