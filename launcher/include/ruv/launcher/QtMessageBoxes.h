#pragma once
// The message-box service on Qt: boxes asked for from a worker thread are shown on
// the user-interface thread while the worker waits for the answer.

#include "ruv/support/MessageBoxes.h"

#include <QString>

#include <memory>

class QMessageBox;

namespace ruv {

class TQtMessageBoxes final : public IMessageBoxes {
 public:
  TModalResult Show(const TMessageBox& box) override;
};

// The Qt box for a description (user-interface thread); CR, LF and CR LF in the
// text become line breaks.
std::unique_ptr<QMessageBox> BuildMessageBox(const TMessageBox& box);
QString MessageBoxText(const std::string& text);

// Installs TQtMessageBoxes as the program's message-box service.
void InstallQtMessageBoxes();

}  // namespace ruv
