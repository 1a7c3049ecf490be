#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>

// Every byte value in order, repeated: what a binary file must survive unchanged.
inline QByteArray everyByteValue(int repeats) {
    QByteArray bytes;
    for (int r = 0; r < repeats; ++r) {
        for (int i = 0; i < 256; ++i)
            bytes.append(char(i));
    }
    return bytes;
}

// A loopback port that nothing listens on any more, so connecting is refused.
inline quint16 closedLocalPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}
