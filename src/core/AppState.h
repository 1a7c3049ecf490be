#pragma once

#include <QString>

// What start-up learns about the customer and the installation: written once before the windows
// exist, then only read.
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

    // Folder of the executable, no trailing separator; tests point it at a temporary folder.
    QString ApplicationFolder;

    static AppState &instance();
};
