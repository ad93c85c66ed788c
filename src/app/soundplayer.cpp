#include "app/soundplayer.h"

#include "sound/soundoutput.h"
#include "store/datafolder.h"
#include "widgets/desktop.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QStandardPaths>
#include <QTimer>

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

QStringList SoundModuleCandidates() {
    const QString name = QStringLiteral("cvrlik_sound.so");
    // An installation moved as a whole, where it was installed, and the build tree for a program run from there.
    return {
        QCoreApplication::applicationDirPath() + QStringLiteral("/../" CVRLIK_RELATIVE_MODULE_DIR "/") + name,
        QStringLiteral(CVRLIK_INSTALLED_MODULE_DIR "/") + name,
        QStringLiteral(CVRLIK_BUILD_MODULE_DIR "/") + name,
    };
}

namespace {

TSoundOutputFactory LoadSoundModule() {
    for (const QString& candidate : SoundModuleCandidates()) {
        if (!QFileInfo(candidate).isFile()) {
            continue;
        }
        // Never unloaded: the output lives until the end of the run.
        QLibrary module(candidate);
        if (auto factory = reinterpret_cast<TSoundOutputFactory>(module.resolve(CVRLIK_SOUND_FACTORY))) {
            return factory;
        }
        qWarning("Cvrlik: %s", qUtf8Printable(module.errorString()));
    }
    return nullptr;
}

} // namespace

TSoundPlayer::TSoundPlayer(QObject* parent)
    : QObject(parent) {}

TSoundPlayer::~TSoundPlayer() = default;

bool TSoundPlayer::Open(const QString& fileName) {
    const QFileInfo file(fileName);
    const bool readable = file.isFile() && file.isReadable();
    const QString newFileName = readable ? file.absoluteFilePath() : QString();
    if (newFileName != FileName) {
        // Another file: the output, if one was made, loads it again at the next sound.
        Output.reset();
        OutputFailed = false;
    }
    FileName = newFileName;
    return readable;
}

bool TSoundPlayer::Play() {
    TDesktop::RecordSound(FileName);
    if (TDesktop::TestMode()) {
        return IsOpen();
    }
    if (!IsOpen() || (!Output && !OpenOutput())) {
        return false;
    }
    Output->Play();
    return true;
}

bool TSoundPlayer::OpenOutput() {
    const TSoundOutputFactory factory = LoadSoundModule();
    std::unique_ptr<TSoundOutput> output(factory ? factory() : nullptr);
    // The callback may come from the sound's own signal: it only marks, and the output stays alive.
    if (!output ||
        !output->Open(FileName, [this] { QTimer::singleShot(0, this, &TSoundPlayer::OutputReportedFailure); })) {
        OutputFailed = true;
        return false;
    }
    Output = std::move(output);
    return true;
}

void TSoundPlayer::OutputReportedFailure() {
    OutputFailed = true;
    Q_EMIT Failed();
}
