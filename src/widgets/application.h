#pragma once

#include <QApplication>
#include <exception>

// The program's application object. Its notify() is the general error report for unexpected failures: whatever
// an event handler throws (a failed store write during a save, any other exception) ends up here and is shown to
// the user in an error message box instead of ending the program.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the error report for the exception being handled (call from a catch block), or for the given text.
    static void ReportCurrentException();
    static void ReportUnexpectedFailure(const QString& what);
    // How many failures were reported in this run.
    static int ReportedFailures();

    // Runs the action of an event handler that writes the store; a failure goes to the error report here, so it
    // never unwinds through the toolkit's event delivery. True when the action ran to its end.
    template <typename Action>
    static bool RunReportingFailure(Action&& action) {
        try {
            action();
            return true;
        } catch (...) {
            ReportCurrentException();
            return false;
        }
    }
};
