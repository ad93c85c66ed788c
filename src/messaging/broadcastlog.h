#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>

// The log of broadcast runs: Windows-1250 text with CR LF line ends, only ever appended to and flushed after every
// write, so what it says survives a crash. It lives in the data folder, private to the user (0600).
class TBroadcastLog {
public:
    static QString DefaultPath();

    explicit TBroadcastLog(const QString& path = DefaultPath());

    const QString& Path() const { return FilePath; }
    // Its lines as they are now; nothing when the file is missing or cannot be read.
    std::optional<QStringList> ReadLines() const;
    // Opens it for appending and ends what the file held with two line ends, or creates it when it is missing.
    // False when it can be neither; ErrorString() says why.
    bool Open();
    bool IsOpen() const { return File.isOpen(); }
    QString ErrorString() const { return File.errorString(); }
    // A line break inside the text becomes CR LF. A failed write is ignored.
    void Write(const QString& text);
    void WriteLine(const QString& text = QString());
    void Close();

private:
    QString FilePath;
    QFile File;
};
