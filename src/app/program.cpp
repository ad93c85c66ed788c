#include "app/program.h"

#include "app/closeboxonly.h"
#include "app/goodbyeform.h"
#include "app/mainform.h"
#include "app/signalwatcher.h"
#include "app/singleinstance.h"
#include "app/startoptions.h"
#include "settings/settingsform.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "store/testing.h"
#include "widgets/application.h"
#include "widgets/modal.h"
#include "widgets/pictures.h"
#include "widgets/queuedboxes.h"

#include <QDir>
#include <QSystemTrayIcon>
#include <memory>

namespace {

// Creates the three lifelong windows, runs the event loop and ends the run. A failure outside any event
// handler reaches the same error report as one inside.
void RunWindows(TApplication& application, TSignalWatcher& signalWatcher, const TStartOptions& options) {
    TMainForm mainForm;
    // From here on a termination signal ends the run, also one that comes while the box below is open.
    TieRunToMainForm(mainForm, signalWatcher);
    TellAboutSetAsideStore(&mainForm);
    TSettingsForm settingsForm(&mainForm);
    mainForm.SetSettingsForm(&settingsForm);
    TellAboutUnreadSettings(mainForm, settingsForm);
    TGoodbyeForm goodbyeForm;
    mainForm.SetGoodbyeForm(&goodbyeForm);

    if (ShowMainFormAtStart(Settings.DisplayOnStart, options.StartedAtLogin, mainForm.TrayReachable())) {
        mainForm.show();
    }
    if (Settings.AutoConnectOnStartup) {
        QCoreApplication::postEvent(&mainForm, new QEvent(MsgConnectNow));
    }
    application.exec();

    try {
        mainForm.FormDestroy();
    } catch (...) {
        TApplication::ReportCurrentException();
    }
}

} // namespace

void TieRunToMainForm(TMainForm& mainForm, TSignalWatcher& signalWatcher) {
    // exit(), not quit(): quit() first sends a close to every visible window, and a window may refuse it (the
    // settings dialog asking about a comment edit) or go away too early (the farewell window, which stays up to the
    // end). The main window has been through its own close sequence when it says it closed; a minimize ends the run
    // at once, without it.
    const auto endLoop = [] { QCoreApplication::exit(0); };
    QObject::connect(&mainForm, &TMainForm::FormClosed, &mainForm, endLoop);
    QObject::connect(&mainForm, &TMainForm::AppMinimized, &mainForm, endLoop);
    QObject::connect(&signalWatcher, &TSignalWatcher::TerminationRequested, &mainForm, &TMainForm::RequestQuit);
    if (signalWatcher.TerminationSeen()) {
        // Came while the windows were made: the quit waits for the event loop, as a later signal's does.
        QMetaObject::invokeMethod(&mainForm, &TMainForm::RequestQuit, Qt::QueuedConnection);
    }
}

QByteArray PlatformForSession(const QProcessEnvironment& environment) {
    if (environment.contains(QStringLiteral("QT_QPA_PLATFORM"))) {
        return {};
    }
    const bool wayland = !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
                         environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QStringLiteral("wayland");
    // X11 through XWayland where the Wayland plugin is missing or cannot connect.
    return wayland ? QByteArrayLiteral("wayland;xcb") : QByteArray();
}

void TellAboutSetAsideStore(QWidget* owner) {
    const QString keptAt = SysReg().TakeSetAsideNotice();
    if (keptAt.isEmpty()) {
        return;
    }
    TModal::MessageBox(owner, QStringLiteral("Cvrlik"),
                       QStringLiteral("Soubor s nastavením programu nešel přečíst, a tak byl odložen stranou jako\n"
                                      "%1\n\nProgram začíná s novým nastavením a výchozími hodnotami.")
                           .arg(QDir::toNativeSeparators(keptAt)),
                       QMessageBox::Critical);
}

void TellAboutUnreadSettings(TMainForm& mainForm, const TSettingsForm& settingsForm) {
    if (!settingsForm.SettingsUnread()) {
        return;
    }
    mainForm.ErrorBoxes->Queue(
        QStringLiteral("Cvrlik"),
        QStringLiteral("Nastavení programu se při spuštění nepodařilo přečíst: %1.\n\nProgram zatím používá výchozí "
                       "hodnoty a neukládá je, aby nepřepsal uložené nastavení ani seznam sledovaných uživatelů. Až "
                       "bude soubor s nastavením volný, otevřete okno nastavení: přečte se znovu.")
            .arg(settingsForm.UnreadReason()),
        QMessageBox::Warning);
}

int RunProgram(int argc, char** argv) {
    const TStartOptions options = ReadStartOptions(argc, argv);
    if (const std::optional<int> answered = AnswerStartOptions(options)) {
        return *answered;
    }
    const QByteArray platform = PlatformForSession(QProcessEnvironment::systemEnvironment());
    if (!platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform);
    }
    TApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    // The window class, the tray and desktop notifications name the program by it.
    application.setApplicationName(QStringLiteral("Cvrlik"));
    application.setDesktopFileName(QStringLiteral(CVRLIK_APP_ID));
    InitPictures();
    application.setWindowIcon(PictureIcon(QStringLiteral("cvrlik")));
    // Minimizing ends the program: no window of it offers a minimize button that would do so by surprise.
    AskForCloseBoxOnlyEverywhere(application);

    // Before the lock is taken: a termination signal from then on ends the run the normal way, which removes the
    // lock, instead of killing the process with the lock left behind.
    TSignalWatcher signalWatcher;
    TSingleInstance instance;
    if (!instance.TryAcquire()) {
        // Another copy runs: this one ends quietly. A mark that cannot be made at all is told, and fails the start.
        return instance.TellFailure() ? 1 : 0;
    }
    auto store = std::make_unique<TSysReg>();
    InstallSysReg(store.get());
    LoadTesting(QProcessEnvironment::systemEnvironment());
    try {
        RunWindows(application, signalWatcher, options);
    } catch (...) {
        TApplication::ReportCurrentException();
    }
    InstallSysReg(nullptr);
    return 0;
}
