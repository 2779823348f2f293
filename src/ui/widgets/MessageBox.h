#pragma once

#include <QString>

#include <functional>

// Every message the program shows goes through here: standard boxes without an owner window, modal for
// the whole application, so that texts, captions and icons live in one place and tests can answer them.
namespace messagebox {

enum class Style {
    Error,       // stop icon, OK
    Warning,     // exclamation icon, OK
    Information, // information icon, OK
    Question,    // information icon, Yes and No; No is the default button, so Enter answers No
};

// Shows the box and waits for it to close. Gives true when a question was answered Yes; false for No,
// and false for the boxes that only have OK.
bool show(Style style, const QString& text, const QString& caption);

// For tests: when set, show() calls this instead of opening a box and gives its answer.
using Responder = std::function<bool(Style style, const QString& text, const QString& caption)>;
void setResponderForTesting(Responder responder);

} // namespace messagebox
