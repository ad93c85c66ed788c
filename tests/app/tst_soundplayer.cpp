// The message sound: the audio stack stays out of the process until a sound is due, and then the module the build
// made is found and loaded.
#include "app/mainform.h"
#include "app/soundplayer.h"
#include "settings/settingsform.h"
#include "store/datafolder.h"
#include "widgets/application.h"
#include "widgets/desktop.h"
#include "widgets/modal.h"

#include <QFile>
#include <QTest>

namespace {

// The shared objects mapped into this process whose path holds `part`.
bool Mapped(const QString& part) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && QString::fromLocal8Bit(maps.readAll()).contains(part);
}

// The file only has to be there and readable until a sound is played.
QString PutMessageSound(const QString& folder) {
    const QString fileName = folder + QStringLiteral("/inmsg.wav");
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        return {};
    }
    file.write(
        QByteArray("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\1\0\1\0\x40\x1f\0\0\x80\x3e\0\0\2\0\x10\0data\0\0\0\0", 44));
    return fileName;
}

} // namespace

class TestSoundPlayer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(MakeDataFolder()); }

    void cleanup() {
        QFile::remove(DataFolder() + QStringLiteral("/inmsg.wav"));
        TDesktop::SetTestMode(true);
    }

    void startLoadsNoAudioStack() {
        QVERIFY(!PutMessageSound(DataFolder()).isEmpty());
        TMainForm form;
        TSettingsForm settings(&form);
        form.SetSettingsForm(&settings);
        form.show();
        QVERIFY(!form.SoundUnavailable);
        QVERIFY2(!Mapped(QStringLiteral("libQt6Multimedia")), "the audio stack was loaded before any sound was due");
        QVERIFY(!Mapped(QStringLiteral("cvrlik_sound")));
    }

    void unreadableSoundIsNotOpen_data() {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("no sound file") << QString();
        QTest::newRow("missing file") << QStringLiteral("/nonexistent/inmsg.wav");
        QTest::newRow("a folder") << QStringLiteral("/tmp");
    }

    void unreadableSoundIsNotOpen() {
        QFETCH(QString, fileName);
        TSoundPlayer player;
        QVERIFY(!player.Open(fileName));
        QVERIFY(!player.IsOpen());
        TDesktop::SetTestMode(false);
        QVERIFY(!player.Play());
        QVERIFY(!Mapped(QStringLiteral("cvrlik_sound")));
    }

    void firstSoundLoadsTheModule() {
        const QString fileName = PutMessageSound(DataFolder());
        TSoundPlayer player;
        QVERIFY(player.Open(fileName));
        TDesktop::SetTestMode(false);
        // Whether it plays depends on this machine's audio output; the module is loaded either way.
        player.Play();
        QVERIFY2(Mapped(QStringLiteral("cvrlik_sound.so")), qPrintable(SoundModuleCandidates().join(u' ')));
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    TModal::SetTestMode(true);
    TDesktop::SetTestMode(true);
    TestSoundPlayer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_soundplayer.moc"
