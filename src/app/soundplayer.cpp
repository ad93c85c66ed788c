#include "app/soundplayer.h"

#include "widgets/desktop.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

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
