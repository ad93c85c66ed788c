#include "app/program.h"

#include "app/closeboxonly.h"
#include "app/goodbyeform.h"
#include "app/mainform.h"
#include "app/signalwatcher.h"
#include "app/singleinstance.h"
#include "settings/settingsform.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "widgets/application.h"
#include "widgets/modal.h"
#include "widgets/pictures.h"

#include <QDir>
#include <QSystemTrayIcon>
#include <memory>

namespace {

// Creates the three lifelong windows, runs the event loop and ends the run. A failure outside any event
// handler reaches the same error report as one inside.
void RunWindows(TApplication& application) {
    TMainForm mainForm;
    TellAboutSetAsideStore(&mainForm);
    TSettingsForm settingsForm(&mainForm);
    mainForm.SetSettingsForm(&settingsForm);
    TGoodbyeForm goodbyeForm;
    mainForm.SetGoodbyeForm(&goodbyeForm);

    TSignalWatcher signalWatcher;
    TieRunToMainForm(mainForm, signalWatcher);

    if (Settings.DisplayOnStart || !mainForm.TrayIcon) {
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
    QObject::connect(&signalWatcher, &TSignalWatcher::TerminationRequested, &mainForm, &QWidget::close);
}

QByteArray PlatformForSession(const QProcessEnvironment& environment) {
    if (environment.contains(QStringLiteral("QT_QPA_PLATFORM"))) {
        return {};
    }
    const bool wayland = !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
                         environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QStringLiteral("wayland");
    const bool xwayland = !environment.value(QStringLiteral("DISPLAY")).isEmpty();
    return wayland && xwayland ? QByteArrayLiteral("xcb") : QByteArray();
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

int RunProgram(int argc, char** argv) {
    const QByteArray platform = PlatformForSession(QProcessEnvironment::systemEnvironment());
    if (!platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform);
    }
    TApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    // The window class, the tray and desktop notifications name the program by it.
    application.setApplicationName(QStringLiteral("Cvrlik"));
    application.setDesktopFileName(QStringLiteral("cvrlik"));
    InitPictures();
    application.setWindowIcon(PictureIcon(QStringLiteral("cvrlik")));
    // Minimizing ends the program: no window of it offers a minimize button that would do so by surprise.
    AskForCloseBoxOnlyEverywhere(application);

    TSingleInstance instance;
    if (!instance.TryAcquire()) {
        return 0;
    }
    auto store = std::make_unique<TSysReg>();
    InstallSysReg(store.get());
    try {
        RunWindows(application);
    } catch (...) {
        TApplication::ReportCurrentException();
    }
    InstallSysReg(nullptr);
    return 0;
}
