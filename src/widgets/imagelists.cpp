#include "widgets/imagelists.h"

#include "widgets/pictures.h"

#include <QStringList>

namespace {

QList<QIcon> IconsOf(const QStringList& roles) {
    QList<QIcon> icons;
    for (const QString& role : roles) {
        icons.append(PictureIcon(role));
    }
    return icons;
}

} // namespace

QList<QIcon> CreateMenuImageList() {
    return IconsOf({
        QStringLiteral("menu-room"),
        QStringLiteral("menu-padlock"),
        QStringLiteral("menu-add-user"),
        QStringLiteral("menu-remove-user"),
        QStringLiteral("menu-notify"),
        QStringLiteral("menu-message-klabos"),
        QStringLiteral("menu-comment"),
        QStringLiteral("menu-red-black-figure"),
        QStringLiteral("menu-auto-login"),
        QStringLiteral("menu-house"),
        QStringLiteral("menu-envelope"),
        QStringLiteral("menu-message-client"),
        QStringLiteral("state-room"),
        QStringLiteral("state-client"),
        QStringLiteral("state-room-client"),
        QStringLiteral("state-offline"),
    });
}

QList<QIcon> CreateMiscImageList() {
    return IconsOf({QStringLiteral("tray-normal"), QStringLiteral("tray-message"), QStringLiteral("tray-blank")});
}
