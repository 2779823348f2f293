#include "Resources.h"

#include <QIcon>
#include <QtGlobal>

void initResources() {
    Q_INIT_RESOURCE(resources);
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
