// KanjiModule: access to the host and the front end.
#include "core/workbook/kanji_module.h"

#include "core/host/host_error.h"

namespace tessarin::workbook {

host::Application& KanjiModule::App() const {
  if (XlApp == nullptr)
    throw host::HostError(91,
                          "Object variable not set: the add-in is not attached to the host yet "
                          "(Auto_Open has not run).");
  return *XlApp;
}

forms::Ui& KanjiModule::Dialogs() const {
  if (ui == nullptr)
    throw host::HostError(host::kErrObjectRequired, "Object required: no user interface.");
  return *ui;
}

}  // namespace tessarin::workbook
