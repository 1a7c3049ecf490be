#include "ChatServer.h"
#include "ChatStore.h"
#include "ListenAddress.h"
#include "OperatorToken.h"
#include "PictureFolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

namespace {

constexpr auto kDefaultHost = "127.0.0.1";
constexpr auto kDefaultPort = "8731";
constexpr auto kMemoryDatabase = ":memory:";
// Far over the longest token, so that a wrong file is refused rather than read whole.
constexpr qint64 kMaxTokenFileBytes = 4096;

int fail(const QString &message) {
    std::fprintf(stderr, "brenno-service: %s\n", qPrintable(message));
    return 1;
}

struct TokenChoice {
    QByteArray token;
    QString error; // empty when the token is usable
};

// The token that --token or --token-file gives, else a new one.
TokenChoice chooseToken(const QCommandLineParser &parser) {
    const QString option = QStringLiteral("token");
    const QString fileOption = QStringLiteral("token-file");
    if (parser.isSet(option) && parser.isSet(fileOption))
        return {{}, QStringLiteral("--token and --token-file exclude each other")};
    QByteArray token = OperatorToken::create();
    if (parser.isSet(option))
        token = parser.value(option).toUtf8();
    if (parser.isSet(fileOption)) {
        QFile file(parser.value(fileOption));
        if (!file.open(QIODevice::ReadOnly))
            return {{}, QStringLiteral("cannot read the token file ") + file.fileName()};
        token = file.read(kMaxTokenFileBytes).trimmed();
    }
    if (!OperatorToken::isWellFormed(token))
        return {{},
                QStringLiteral("the token needs 16 to 256 letters, digits, '.', '_', '~' or '-'")};
    return {token, {}};
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
        {QStringLiteral("token"),
         QStringLiteral("The operator's token (default: a new one at every start). Other users "
                        "of this machine can read a command line: prefer --token-file."),
         QStringLiteral("token")},
        {QStringLiteral("token-file"), QStringLiteral("Read the operator's token from this file."),
         QStringLiteral("file")},
    });
    parser.process(app);

    bool portOk = false;
    const int port = parser.value(QStringLiteral("port")).toInt(&portOk);
    if (!portOk || port < 0 || port > 65535)
        return fail(QStringLiteral("--port needs a number from 0 to 65535"));
    if (parser.isSet(QStringLiteral("db")) && parser.isSet(QStringLiteral("memory")))
        return fail(QStringLiteral("--db and --memory exclude each other"));

    const TokenChoice token = chooseToken(parser);
    if (!token.error.isEmpty())
        return fail(token.error);
    const bool tokenGiven =
        parser.isSet(QStringLiteral("token")) || parser.isSet(QStringLiteral("token-file"));
    const QString host = parser.value(QStringLiteral("listen"));
    if (!tokenGiven && !ListenAddress(host, port).isLoopback())
        return fail(QStringLiteral("--listen %1 lets other machines reach the operator console: "
                                   "give it a token with --token or --token-file")
                        .arg(host));

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

    ChatServer server(store, pictures, token.token);
    const int boundPort = server.bind(host, port);
    if (boundPort < 0)
        return fail(QStringLiteral("cannot listen on %1:%2").arg(host).arg(port));
    const QString address = ListenAddress(host, boundPort).url();
    std::printf("listening on %s\n", qPrintable(address));
    // The console's script reads the token from the fragment, which no request carries.
    std::printf("operator console at %s/operator#token=%s\n", qPrintable(address),
                token.token.constData());
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
