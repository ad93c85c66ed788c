#pragma once

#include <QObject>
#include <QString>
#include <memory>

class TSoundOutput;

// The message sound "inmsg.wav": the user's own in the data folder, else the one the program ships in its installed
// data folder; empty when there is neither.
QString FindMessageSound();

// The message sound: a WAV file played through the default audio output by the sound module, which is loaded the
// first time a sound is due: most runs never play one, and the audio stack costs memory and start-up time.
class TSoundPlayer : public QObject {
    Q_OBJECT
public:
    explicit TSoundPlayer(QObject* parent = nullptr);
    ~TSoundPlayer() override;

    // False when the file is missing or unreadable.
    bool Open(const QString& fileName);
    bool IsOpen() const { return !FileName.isEmpty() && !OutputFailed; }
    // False when the sound cannot be played (no module, no audio output, a file the audio stack refuses): the
    // caller beeps instead. A loading error found later emits Failed().
    bool Play();

Q_SIGNALS:
    void Failed();

private:
    bool OpenOutput();
    void OutputReportedFailure();

    QString FileName;
    std::unique_ptr<TSoundOutput> Output;
    bool OutputFailed = false;
};

// Where the sound module is looked for, first match wins.
QStringList SoundModuleCandidates();
