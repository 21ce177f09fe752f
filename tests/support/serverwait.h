#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
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

inline int FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

inline void StopServer(QProcess& p) {
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

// A plain HTTP server on 127.0.0.1 serving folder (the login reads the account file that way); its
// port, or 0 when it did not start.
inline int StartHttpServer(QProcess& web, const QString& folder) {
    web.setProcessChannelMode(QProcess::MergedChannels);
    web.start(QStringLiteral("/usr/bin/python3"),
              {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
               QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"), folder,
               QStringLiteral("0")});
    static const QRegularExpression portText(QStringLiteral("port (\\d+)"));
    QByteArray banner;
    while (!portText.match(QString::fromUtf8(banner)).hasMatch()) {
        if (!web.waitForReadyRead(10000))
            return 0;
        banner += web.readAll();
    }
    return portText.match(QString::fromUtf8(banner)).captured(1).toInt();
}

} // namespace krtp::test
