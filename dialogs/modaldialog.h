#pragma once

#include <QMessageBox>

#include <functional>

class QDialog;
class QObject;
class QWidget;

// Shows a dialog application-modal, as exec() would, but returns at once: no event loop runs
// inside the code that asked, so nothing the window does meanwhile (a poll's failure taking the
// panel down, another result) can re-enter it. The answer goes to `answered` from the main
// event loop. A receiver taken away while the dialog is open answers nobody.
namespace ModalDialog {

enum class After
{
    Delete, // the dialog goes once answered (taken away with a parentless receiver, too)
    Keep,   // the caller keeps the dialog to show it again; each showing is answered once
};

void open(QDialog *dialog, QObject *receiver, std::function<void(int result)> answered = {},
          After after = After::Delete);

// A message box's answer: the standard button that closed it, Escape's included.
void ask(QMessageBox *box, QObject *receiver,
         std::function<void(QMessageBox::StandardButton)> answered,
         After after = After::Delete);

} // namespace ModalDialog
