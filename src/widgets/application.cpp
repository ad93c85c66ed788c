#include "widgets/application.h"

#include "store/sysreg.h"
#include "widgets/modal.h"

namespace {

int reportedFailures = 0;

QString TextOf(const char* what) {
    const QString text = QString::fromUtf8(what).trimmed();
    return text.isEmpty() ? QStringLiteral("(bez popisu)") : text;
}

} // namespace

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException();
        return true;
    }
}

void TApplication::ReportCurrentException() {
    try {
        throw;
    } catch (const ESysRegError& error) {
        ReportUnexpectedFailure(QStringLiteral("Chyba při práci s nastavením programu:\n") + TextOf(error.what()));
    } catch (const std::exception& error) {
        ReportUnexpectedFailure(QStringLiteral("Nastala neočekávaná chyba:\n") + TextOf(error.what()));
    } catch (...) {
        ReportUnexpectedFailure(QStringLiteral("Nastala neočekávaná chyba."));
    }
}

void TApplication::ReportUnexpectedFailure(const QString& what) {
    ++reportedFailures;
    // The report itself must never throw back into the event loop.
    try {
        TModal::MessageBox(QApplication::activeWindow(), QStringLiteral("Cvrlik"), what, QMessageBox::Critical);
    } catch (...) {
        qCritical("Cvrlik: %s", qUtf8Printable(what));
    }
}

int TApplication::ReportedFailures() {
    return reportedFailures;
}
