#pragma once

#include <QByteArray>
#include <QString>

// The login entry that starts the program when the user logs in: a desktop entry in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart/<application id>.desktop), which every desktop following the freedesktop.org
// autostart rules runs at login. The file is the only record of the choice, so a user or a desktop's own settings
// can switch it off without the program.
class TAutostartEntry {
public:
    // The entry in the folder given, or in the user's autostart folder.
    explicit TAutostartEntry(const QString& folder = DefaultFolder());

    static QString DefaultFolder();
    QString FilePath() const { return Path; }

    // On while the file is there and does not switch itself off: Hidden=true is how the autostart rules remove an
    // entry, X-GNOME-Autostart-enabled=false how some desktops untick it.
    bool IsOn() const;
    // Writes the entry when it is not on, or removes the file when it is there; an entry that is on already is
    // kept as the user may have changed it. False when the folder or the file could not be written or removed,
    // the reason in Czech in `error`.
    bool SetOn(bool on, QString& error) const;

    // The entry's text: the program started with --autostart. `program` is the path of the program, or its bare
    // name when it is found on the PATH.
    static QByteArray Contents(const QString& program);
    // The program as the entry names it: the bare name when the PATH finds this very program under it, so the entry
    // survives a reinstall elsewhere; the whole path otherwise.
    static QString ProgramForEntry();

private:
    QString Path;
};
