// The transfer verbs and a member's check-out and check-in against vsftpd, plain and with TLS.
#include "storescenario.h"
#include "testmain.h"
#include "vsftpdhost.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

class TestInteropVsftpd : public QObject {
    Q_OBJECT
    QTemporaryDir work;

private slots:
    void initTestCase() {
        if (!QFileInfo(VsftpdHost::vsftpdPath()).isExecutable())
            QSKIP("vsftpd is not installed: the interop tests are skipped (bash scripts/dev.sh build "
                  "installs it)");
        if (::geteuid() != 0)
            QSKIP("vsftpd's chroot needs root: the interop tests are skipped");
        QVERIFY(QDir::setCurrent(work.path()));
    }

    void verbsAndStore_data() {
        QTest::addColumn<bool>("tls");
        QTest::newRow("plain") << false;
        QTest::newRow("tls") << true;
    }

    void verbsAndStore() {
        QFETCH(bool, tls);
        VsftpdHost host;
        QString error;
        QVERIFY2(host.start(tls, &error), qPrintable(error));
        StoreScenario::seed(host.root());
        VsftpdHost::openUp(host.root() + u"/krg"_s);
        SiteControl c;
        CheckTransferVerbs(c, host.root());
        if (QTest::currentTestFailed())
            return;
        CheckStoreScenario(host.root());
        if (!tls || QTest::currentTestFailed())
            return;
        // The same host refuses a member without TLS, and TLS is refused without its CA.
        SiteControl plain;
        plain.Tls = TransferControl::TlsOff;
        QVERIFY(!run(plain, u"ls /krg"_s).ok);
        QVERIFY2(plain.lastError().startsWith(u"530"_s), qPrintable(plain.lastError()));
        SiteControl untrusting;
        untrusting.TlsCaFile.clear();
        QVERIFY(!run(untrusting, u"ls /krg"_s).ok);
        QVERIFY(untrusting.lastError().startsWith(u"The host's certificate is not trusted ("_s));
    }
};

KRTP_TEST_MAIN_CORE(TestInteropVsftpd)
#include "tst_interop_vsftpd.moc"
