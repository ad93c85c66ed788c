#pragma once

#include <QString>
#include <QtGlobal>

// Key paths of the configuration store.
inline const QString ProductKey = QStringLiteral("SOFTWARE\\Velmor\\Cvrlik");
inline const QString NickListKey = QStringLiteral("SOFTWARE\\Velmor\\Cvrlik\\Nick List");
inline const QString NickCommentsKey = QStringLiteral("SOFTWARE\\Velmor\\Cvrlik\\Nick Comments");
inline const QString MessagesKey = QStringLiteral("SOFTWARE\\Velmor\\Cvrlik\\Messages");

// The key of one sender's messages. The nick is always one key name: a backslash in it (which the service could
// send, though no key name may hold one) becomes U+2216 and a control character its picture (U+2400 + code),
// characters that Windows-1250 text never contains.
QString MessagesKeyOf(const QString& nick);

// An integer setting with its default and the range accepted on load.
struct TIntegerSetting {
    const char* Name;
    qint32 Default;
    qint32 Minimum;
    qint32 Maximum;
};

inline constexpr TIntegerSetting SessionRefreshSetting{"SessionRefresh", 120, 20, 500};
inline constexpr TIntegerSetting StatusRefreshSetting{"StatusRefresh", 10, 1, 90};
inline constexpr TIntegerSetting NotifyDivisorSetting{"NotifyDivisor", 1, 1, 100};
inline constexpr TIntegerSetting NotifyWaitSetting{"NotifyWait", 1500, 300, 9999};
inline constexpr TIntegerSetting AboutToKickWarningTimeSetting{"AboutToKickWarningTime", 10, 1, 20};

// Every user setting, one field per value of the product key, named as the value. Before the load every field is
// empty, 0 or false; the load (TSettingsForm) applies the defaults.
struct TSettings {
    QString LoginName;
    QString LoginPassword; // plain text; scrambled only in the store
    bool RememberPassword = false;
    bool UsingProxy = false;
    QString ProxyServer;
    quint16 ProxyPort = 0; // 0: no port
    bool UsingProxyAuthentization = false;
    QString ProxyLoginName;
    QString ProxyPassword; // plain text; scrambled only in the store
    qint32 SessionRefresh = 0;
    qint32 StatusRefresh = 0;
    qint32 NotifyDivisor = 0;
    qint32 NotifyWait = 0;
    qint32 AboutToKickWarningTime = 0;
    bool AutoConnectOnStartup = false;
    bool DisplayOnStart = false;
    bool ReportNetworkErrors = false;
    bool AlwaysReconnect = false;
    bool AlwaysOnTop = false;
    bool NotifyNewUsersOnly = false;
    bool EasyMouseMode = false;
    bool AboutToKickWarning = false;
    bool SuspendNotifications = false; // never stored
};

// The process-wide settings.
extern TSettings Settings;

// The program's version text, "1.81".
QString VersionText();
