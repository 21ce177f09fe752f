#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>

namespace krtp::test {

// Waits until a server started by a test answers on 127.0.0.1:port with a banner that starts with
// prefix ("220" for FTP, "SSH-2.0-" for SSH); false when it did not within timeoutMs or it exited.
inline bool WaitForBanner(const QProcess& server, int port, const QByteArray& prefix, int timeoutMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs && server.state() == QProcess::Running) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, quint16(port));
        if (s.waitForConnected(500) && s.waitForReadyRead(1000) && s.readAll().startsWith(prefix))
            return true;
        QTest::qWait(50);
    }
    return false;
}

} // namespace krtp::test
