#pragma once

#include <QObject>
#include <QString>

class QSoundEffect;

// The message sound "inmsg.wav": the user's own in the data folder, else the one the program ships in its installed
// data folder; empty when there is neither.
QString FindMessageSound();

// The message sound: a WAV file played through the default audio output. It counts as not opened when the file
// is missing or unreadable, when there is no audio output, or when the sound reports an error while loading.
class TSoundPlayer : public QObject {
    Q_OBJECT
public:
    explicit TSoundPlayer(QObject* parent = nullptr);

    // False when the sound cannot be used (see above); a loading error found later emits Failed().
    bool Open(const QString& fileName);
    bool IsOpen() const { return Effect != nullptr; }
    void Play();

Q_SIGNALS:
    void Failed();

private:
    void EffectStatusChanged();

    QSoundEffect* Effect = nullptr;
    QString FileName;
};
