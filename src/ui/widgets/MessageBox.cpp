#include "MessageBox.h"

#include <QMessageBox>

namespace messagebox {

namespace {

Responder& responder() {
    static Responder r;
    return r;
}

} // namespace

void setResponderForTesting(Responder r) {
    responder() = std::move(r);
}

bool show(Style style, const QString& text, const QString& caption) {
    if (responder()) {
        return responder()(style, text, caption);
    }
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (style) {
    case Style::Error:
        icon = QMessageBox::Critical;
        break;
    case Style::Warning:
        icon = QMessageBox::Warning;
        break;
    case Style::Information:
        break;
    case Style::Question:
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    }
    QMessageBox box(icon, caption, text, buttons);
    box.setWindowModality(Qt::ApplicationModal);
    if (style == Style::Question) {
        // Every question asks before something that cannot be undone, and only Yes leads on. Enter must
        // not answer Yes: the Enter that started the command (the delete, run by Enter in the main
        // window) is easily pressed twice.
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    }
    return box.exec() == QMessageBox::Yes;
}

} // namespace messagebox
