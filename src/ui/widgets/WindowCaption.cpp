#include "WindowCaption.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

// Watches one window: whenever its platform window is about to be shown or its caption changes, an empty
// caption reaches the platform as a blank.
class EmptyCaptionKeeper : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::WindowTitleChange) {
            auto* window = static_cast<QWidget*>(watched);
            if (window->windowTitle().isEmpty() && window->windowHandle()) {
                window->windowHandle()->setTitle(QStringLiteral(" "));
            }
        }
        return false;
    }
};

} // namespace

void setWindowCaption(QWidget* window, const QString& caption) {
    const QString keeperName = QStringLiteral("emptyCaptionKeeper");
    if (!window->findChild<QObject*>(keeperName, Qt::FindDirectChildrenOnly)) {
        auto* keeper = new EmptyCaptionKeeper(window);
        keeper->setObjectName(keeperName);
        window->installEventFilter(keeper);
    }
    window->setWindowTitle(caption);
}
