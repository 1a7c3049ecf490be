#include "ChatServer.h"
#include "ChatStore.h"
#include "PictureFolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

namespace {

constexpr auto kDefaultHost = "127.0.0.1";
constexpr auto kDefaultPort = "8731";
constexpr auto kMemoryDatabase = ":memory:";

int fail(const QString &message) {
    std::fprintf(stderr, "brenno-service: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Local chat service for the Brenno client, with an operator console at "
                       "/operator."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("listen"), QStringLiteral("Address to listen on."), QStringLiteral("host"),
         QString::fromLatin1(kDefaultHost)},
        {QStringLiteral("port"), QStringLiteral("Port; 0 lets the system choose."),
         QStringLiteral("port"), QString::fromLatin1(kDefaultPort)},
        {QStringLiteral("db"), QStringLiteral("SQLite database file."), QStringLiteral("file")},
        {QStringLiteral("memory"), QStringLiteral("Keep everything in memory (the default).")},
        {QStringLiteral("files"), QStringLiteral("Folder for pictures (default: a temporary one)."),
         QStringLiteral("dir")},
        {QStringLiteral("open-ticket"), QStringLiteral("Open a ticket for this VAT number."),
         QStringLiteral("vat")},
    });
    parser.process(app);

    bool portOk = false;
    const int port = parser.value(QStringLiteral("port")).toInt(&portOk);
    if (!portOk || port < 0 || port > 65535)
        return fail(QStringLiteral("--port needs a number from 0 to 65535"));
    if (parser.isSet(QStringLiteral("db")) && parser.isSet(QStringLiteral("memory")))
        return fail(QStringLiteral("--db and --memory exclude each other"));

    ChatStore store(parser.isSet(QStringLiteral("db")) ? parser.value(QStringLiteral("db"))
                                                       : QString::fromLatin1(kMemoryDatabase));
    if (!store.isReady())
        return fail(QStringLiteral("cannot open the database: ") + store.errorText());

    QTemporaryDir temporaryFolder;
    const QString folder = parser.isSet(QStringLiteral("files"))
                               ? parser.value(QStringLiteral("files"))
                               : temporaryFolder.path();
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return fail(QStringLiteral("cannot create the picture folder ") + folder);
    const PictureFolder pictures(folder);

    // Ctrl-C and SIGTERM end the server through one waiting thread, so the process exits
    // normally; the signals are blocked before any server thread exists.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ChatServer server(store, pictures);
    const QString host = parser.value(QStringLiteral("listen"));
    const int boundPort = server.bind(host, port);
    if (boundPort < 0)
        return fail(QStringLiteral("cannot listen on %1:%2").arg(host).arg(port));
    std::printf("listening on http://%s:%d\n", qPrintable(host), boundPort);
    for (const QString &vatNumber : parser.values(QStringLiteral("open-ticket")))
        std::printf("ticket %d open for %s\n", store.openTicket(vatNumber), qPrintable(vatNumber));
    std::fflush(stdout);

    std::thread signalWaiter([&server, &stopSignals] {
        int received = 0;
        sigwait(&stopSignals, &received);
        server.stop();
    });
    const bool served = server.listen();
    // Wakes the waiter when the server ended on its own.
    pthread_kill(signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    return served ? 0 : 1;
}
