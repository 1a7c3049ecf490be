#pragma once

#include <QPointer>
#include <QString>

class QWidget;

class TrayNotifier;

// The one process-wide record; the subsystems read and write its fields directly.
struct AppState {
    QString SettingsDbPath;
    QString DataPath;
    QString VatNumber;
    // Timer, InputON, OutputON, Interface and TotalSync drive nothing; they are kept because they
    // are keys of setws.ini, written when the file is created and read at start-up.
    qint32 Timer = 0;
    bool InputON = false;
    bool OutputON = false;
    bool Log = false;
    bool Interface = false;
    bool TotalSync = false;
    qint32 IdTicket = 0;
    TrayNotifier *trayForm = nullptr;
    QPointer<QWidget> chatWindow;

    // Folder of the executable, no trailing separator; tests point it at a temporary folder.
    QString ApplicationFolder;

    static AppState &instance();
};

// What the chat session needs of the tray form, so that chat and tray stay independent.
class TrayNotifier {
public:
    virtual ~TrayNotifier() = default;
    virtual void ShowMessageTray(const QString &msg) = 0;
};
