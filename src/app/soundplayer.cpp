#include "app/soundplayer.h"

#include "store/datafolder.h"
#include "widgets/desktop.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QUrl>

QString FindMessageSound() {
    const QString name = QStringLiteral("inmsg.wav");
    // The user's own first; then the shipped one under the program's own prefix (an installation moved as a
    // whole), where it was installed, and wherever the desktop keeps shared data.
    const QStringList candidates{
        DataFolder() + QLatin1Char('/') + name,
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/cvrlik/") + name,
        QStringLiteral(CVRLIK_INSTALLED_DATA_DIR "/") + name,
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            return QFileInfo(candidate).absoluteFilePath();
        }
    }
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("cvrlik/") + name);
}

TSoundPlayer::TSoundPlayer(QObject* parent)
    : QObject(parent) {}

bool TSoundPlayer::Open(const QString& fileName) {
    delete Effect;
    Effect = nullptr;
    FileName = fileName;
    const QFileInfo file(fileName);
    if (!file.isFile() || !file.isReadable() || QMediaDevices::audioOutputs().isEmpty()) {
        return false;
    }
    Effect = new QSoundEffect(this);
    connect(Effect, &QSoundEffect::statusChanged, this, &TSoundPlayer::EffectStatusChanged);
    Effect->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    if (Effect->status() == QSoundEffect::Error) {
        delete Effect;
        Effect = nullptr;
        return false;
    }
    return true;
}

void TSoundPlayer::Play() {
    TDesktop::RecordSound(FileName);
    if (Effect && !TDesktop::TestMode()) {
        Effect->play();
    }
}

void TSoundPlayer::EffectStatusChanged() {
    if (Effect && Effect->status() == QSoundEffect::Error) {
        Effect->deleteLater();
        Effect = nullptr;
        Q_EMIT Failed();
    }
}
