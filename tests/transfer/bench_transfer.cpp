// Download and upload of a 200 MB file on loopback: the transfer control against the curl tool, over
// FTP, FTPS and SFTP.
#include "loopbackhost.h"
#include "sshdhost.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {

struct Rates {
    double controlDown = 0, curlDown = 0, controlUp = 0, curlUp = 0;
};

// Best of `rounds` 200 MB downloads and uploads by the control and by the curl tool (with curlTls, the
// tool's options for the same settings) against one host, whose site folder is root and whose "/" the
// tool reaches at url.
Rates measure(const QString& root, const QString& url, const QStringList& curlTls, int rounds) {
    Rates best;
    const QString curl = QStandardPaths::findExecutable(u"curl"_s);
    const qint64 size = 200LL * 1024 * 1024;
    const auto path = [&root](const QString& name) { return root + QLatin1Char('/') + name; };
    {
        QFile f(path(u"big.bin"_s));
        if (!f.open(QIODevice::WriteOnly))
            return best;
        QByteArray block(1024 * 1024, 'x');
        for (qint64 i = 0; i < size / block.size(); ++i)
            f.write(block);
    }
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    const double mb = double(size) / (1024 * 1024);
    auto rate = [mb](qint64 ms) { return mb / (double(std::max<qint64>(ms, 1)) / 1000.0); };

    TransferControl c;
    c.configureForSite();
    QElapsedTimer t;
    // Each control transfer starts on a fresh connection, as each curl run does.
    auto fresh = [&c] {
        c.Execute(u"QUIT"_s);
        c.waitUntilIdle();
    };
    for (int round = 0; round < rounds;
         ++round) { // best of several: the loopback host and the disk are noisy
        fresh();
        t.start();
        c.Execute(u"get /big.bin control.bin"_s);
        c.waitUntilIdle();
        if (!c.lastSucceeded())
            return {};
        best.controlDown = std::max(best.controlDown, rate(t.elapsed()));

        t.start();
        if (QProcess::execute(
                curl, curlTls + QStringList{u"-s"_s, u"-o"_s, u"curl.bin"_s, url + u"/big.bin"_s}) != 0)
            return {};
        best.curlDown = std::max(best.curlDown, rate(t.elapsed()));

        fresh();
        t.start();
        c.Execute(u"send control.bin /up-control.bin"_s);
        c.waitUntilIdle();
        if (!c.lastSucceeded() || QFileInfo(path(u"up-control.bin"_s)).size() != size)
            return {};
        best.controlUp = std::max(best.controlUp, rate(t.elapsed()));

        t.start();
        if (QProcess::execute(
                curl, curlTls + QStringList{u"-s"_s, u"-T"_s, u"curl.bin"_s, url + u"/up-curl.bin"_s}) != 0)
            return {};
        best.curlUp = std::max(best.curlUp, rate(t.elapsed()));
    }
    QFile::remove(path(u"big.bin"_s));
    QFile::remove(path(u"up-control.bin"_s));
    QFile::remove(path(u"up-curl.bin"_s));
    return best;
}

// Median time of a login and one command on a fresh connection.
double loginMs(int times) {
    TransferControl c;
    c.configureForSite();
    QList<qint64> ms;
    QElapsedTimer t;
    for (int i = 0; i < times; ++i) {
        c.Execute(u"QUIT"_s);
        c.waitUntilIdle();
        t.start();
        c.Execute(u"cd /"_s);
        c.waitUntilIdle();
        if (!c.lastSucceeded())
            return -1;
        ms << t.nsecsElapsed() / 1000;
    }
    std::sort(ms.begin(), ms.end());
    return double(ms[ms.size() / 2]) / 1000.0;
}

} // namespace

class BenchTransfer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(u"curl"_s).isEmpty())
            QSKIP("the curl tool is not installed");
    }

    // The control's rate must reach this share of the curl tool's, each way.
    void againstCurl_data() {
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<double>("least");
        QTest::newRow("FTP") << "ftp" << 0.9;
        QTest::newRow("FTPS") << "ftps" << 0.95;
        QTest::newRow("SFTP") << "sftp" << 0.95;
    }

    void againstCurl() {
        QFETCH(QString, protocol);
        QFETCH(double, least);
        LoopbackHost ftp;
        SshdHost sftp;
        QString root, url;
        QStringList same; // the curl tool's options for the control's own settings
        if (protocol == QLatin1String("sftp")) {
            if (!QFileInfo(SshdHost::sshdPath()).isExecutable())
                QSKIP("OpenSSH's sshd is not installed");
            QString error;
            QVERIFY2(sftp.start(&error), qPrintable(error));
            sftp.exportEnvironment(true);
            // The same key and the same pinned host key; "~" is the folder the account starts in.
            same = QStringList{u"--key"_s,
                               sftp.keyFile(),
                               u"--hostpubsha256"_s,
                               sftp.hostKeyFingerprint().mid(7),
                               u"-u"_s,
                               sftp.user() + QLatin1Char(':')};
            root = sftp.root();
            url = u"sftp://"_s + sftp.host() + u"/~"_s;
        } else {
            if (protocol == QLatin1String("ftps"))
                ftp.setTls(LoopbackHost::Tls::Require);
            QVERIFY(ftp.start());
            // Required, TLS 1.2, verified against the test CA.
            if (protocol == QLatin1String("ftps"))
                same = QStringList{u"--ssl-reqd"_s, u"--tlsv1.2"_s, u"--tls-max"_s,
                                   u"1.2"_s,        u"--cacert"_s,  ftp.caFile()};
            root = ftp.root();
            url = u"ftp://velmar:tolbek@"_s + ftp.ftpHost();
        }
        const Rates r = measure(root, url, same, 5);
        QVERIFY(r.curlDown > 0);
        const QByteArray name = QTest::currentDataTag();
        qInfo("%s download: control %.0f MB/s, curl %.0f MB/s, ratio %.2f", name.constData(), r.controlDown,
              r.curlDown, r.controlDown / r.curlDown);
        qInfo("%s upload:   control %.0f MB/s, curl %.0f MB/s, ratio %.2f", name.constData(), r.controlUp,
              r.curlUp, r.controlUp / r.curlUp);
        QVERIFY(r.controlDown / r.curlDown >= least);
        QVERIFY(r.controlUp / r.curlUp >= least);
    }

    void tlsLoginCost() {
        LoopbackHost plain;
        QVERIFY(plain.start());
        const double plainMs = loginMs(21);
        LoopbackHost secure;
        secure.setTls(LoopbackHost::Tls::Require);
        QVERIFY(secure.start());
        const double tlsMs = loginMs(21);
        QVERIFY(plainMs > 0 && tlsMs > 0);
        qInfo("login and first command: plain %.1f ms, TLS %.1f ms, added %.1f ms", plainMs, tlsMs,
              tlsMs - plainMs);
    }
};

KRTP_TEST_MAIN_CORE(BenchTransfer)
#include "bench_transfer.moc"
