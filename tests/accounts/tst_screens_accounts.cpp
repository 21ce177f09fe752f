// Renders the accounts window to build/screens/*.png so it can be looked at without a display.
#include "accounts/gui/frmusers.h"
#include "accountstestutil.h"
#include "screenshot.h"
#include "testmain.h"
#include "windowharness.h"

#include <QListWidget>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

class TestScreensAccounts : public QObject {
    Q_OBJECT
    AccountsFixture fx;
    WindowHarness d;

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() { d.init(); }
    void cleanup() { QVERIFY(d.done()); }

    void users() {
        frmUsers::EditFile = [](const QString&) {};
        fx.logIn(QStringLiteral("Velmar"), LevelAdministrator);
        frmUsers w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.LoadWindow());
        w.lvwFileList->setCurrentRow(1);
        QVERIFY(saveScreen(w, QStringLiteral("frmUsers-Velmar")));
        d->answer(Dialogs::No);
        QVERIFY(w.close());
        frmUsers::EditFile = nullptr;
    }
};

KRTP_TEST_MAIN_GUI(TestScreensAccounts)
#include "tst_screens_accounts.moc"
