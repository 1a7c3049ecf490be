#include "app/DbReadProcess.h"
#include "app/InstanceLock.h"
#include "app/MessageErrorBox.h"
#include "app/ModuleMain.h"
#include "app/QuitOnTerminationSignal.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QThread>
#include <QTranslator>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    // The client lives in the tray: closing or hiding its windows must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Qt's own texts (standard buttons) in Italian, as in the users' other programs.
    QTranslator qtTranslation;
    if (qtTranslation.load(QLocale(QLocale::Italian), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslation);

    QuitOnTerminationSignal quitOnTermination;
    const QString applicationFolder = QCoreApplication::applicationDirPath();
    InstanceLock instanceLock(applicationFolder);
    MessageErrorBox errorBox;
    DbReadProcess databaseReader;
    ModuleMain module({applicationFolder, instanceLock, errorBox, databaseReader,
                       [](int milliseconds) { QThread::msleep(milliseconds); }});
    switch (module.Main(ModuleMain::commandLineText(QApplication::arguments()))) {
    case ModuleMain::Outcome::EndSilently:
        return 0;
    case ModuleMain::Outcome::EndAfterError:
        return 1;
    case ModuleMain::Outcome::Continue:
        break;
    }

    // Start-up continues here: the hidden tray form frmSysTray, then ChatFrm and InizializzaChat.
    return QApplication::exec();
}
