#include "app/DbReadProcess.h"
#include "app/InstanceLock.h"
#include "app/ModuleMain.h"
#include "app/QuitOnTerminationSignal.h"
#include "chat/ChatFrm.h"
#include "outgoing/DesktopSession.h"
#include "tray/frmSysTray.h"
#include "widgets/MessageErrorBox.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QProcessEnvironment>
#include <QThread>
#include <QTimer>
#include <QTranslator>

int main(int argc, char *argv[]) {
    // Qt reads the platform as the application starts.
    const std::optional<QByteArray> platform =
        DesktopSession::choosePlatform(QProcessEnvironment::systemEnvironment());
    if (platform)
        qputenv("QT_QPA_PLATFORM", *platform);
    QApplication app(argc, argv);
    // Programs the client starts make their own choice.
    if (platform)
        qunsetenv("QT_QPA_PLATFORM");
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

    // The tray form comes first, so that the icon is there before the chat's first exchange.
    frmSysTray trayForm;
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tray/brenno.png")));
    ChatFrm chatWindow;
    QObject::connect(&trayForm, &frmSysTray::showChat, &chatWindow, &ChatFrm::showForUser);
    QObject::connect(&trayForm, &frmSysTray::hideChat, &chatWindow, &QWidget::hide);
    QObject::connect(&trayForm, &frmSysTray::noTray, &chatWindow, &ChatFrm::showAsForMessage);
    QObject::connect(&chatWindow, &ChatFrm::IdTicketChanged, &trayForm, &frmSysTray::setIdTicket);
    QObject::connect(&chatWindow, &ChatFrm::balloonWanted, &trayForm, &frmSysTray::ShowMessageTray);
    instanceLock.setActivationHandler([&trayForm] { trayForm.VisualizzaChat(); });
    // From inside the event loop, so that a termination signal during the first exchange ends
    // the process instead of being lost before the loop starts.
    QTimer::singleShot(0, &chatWindow, &ChatFrm::InizializzaChat);
    return QApplication::exec();
}
