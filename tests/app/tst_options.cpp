// The options window's rules (compare and write only what differs) and the window on a file list.
#include "../filestore/storetestutil.h"
#include "app/gui/frmoptions.h"
#include "app/options.h"
#include "controls.h"
#include "filestore/gui/frmfilelist.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"

#include <QCheckBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {
const QString kAbsent = u"<absent>"_s;
QString stored(const SettingKey& k) {
    return settingsStore().read(QLatin1String(k.section), QLatin1String(k.key), kAbsent);
}
} // namespace

class TestOptions : public QObject {
    Q_OBJECT
    StoreFixture fx;

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() { fx.resetLocal(); }

    void onlyChangedBoxesAreWritten() {
        SettingsStore& s = settingsStore();
        // An empty store reads as the defaults: red, start-up, exit and preview on.
        OptionBoxes b = LoadOptions(s, 0);
        QVERIFY(b.showOutOfDateAsRed && !b.showUpToDateAsBlue && b.showOutdatedFilesOnStartup &&
                b.showCheckedOutFilesOnExit && b.showPreviewPane && !b.noReadOnly);
        QCOMPARE(b.listStyle * 100 + LoadOptions(s, 1).listStyle * 10 + LoadOptions(s, 3).listStyle, 213);
        // Saving the boxes as loaded writes only the list style.
        OptionsSaved saved = SaveOptions(s, b);
        QCOMPARE(saved.written, QStringList{u"/CurrentView"_s});
        QVERIFY(saved.viewStyle == 2 && !saved.coloursChanged);
        QCOMPARE(stored(settings::ShowOutOfDateAsRed) + stored(settings::CurrentView),
                 kAbsent + QLatin1Char('2'));
        // A stored "yes" is not "Yes": the box shows unticked, and an unticked box leaves it alone.
        s.set(settings::ShowPreviewPane, u"yes"_s);
        b = LoadOptions(s, 3);
        QVERIFY(!b.showPreviewPane);
        b.showUpToDateAsBlue = true;
        b.noReadOnly = true;
        saved = SaveOptions(s, b);
        QCOMPARE(saved.written, (QStringList{"/CurrentView", "/ShowUpToDateAsBlue", "NoReadOnly"}));
        QVERIFY(saved.coloursChanged);
        QCOMPARE(stored(settings::ShowPreviewPane) + stored(settings::ShowUpToDateAsBlue), u"yesYes"_s);
        QVERIFY(runState().NoReadOnly);
        b.noReadOnly = false;
        SaveOptions(s, b);
        QCOMPARE(stored(settings::NoReadOnly), u"No"_s);
        QVERIFY(!runState().NoReadOnly);
    }

    void windowOnTheFileList() {
        ScriptedDialogs d;
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        frmFileList list;
        list.show();
        QVERIFY(list.UpdateFileList());
        auto* inet = control<TransferControl>(list, "inet");
        // Opening stores the icon positions (small icons), even when the window is then cancelled;
        // cancelling writes nothing else.
        list.setViewStyle(1);
        QPointer<frmOptions> w = frmOptions::ShowOptions(list);
        QCOMPARE(w->windowTitle(), u"Options"_s);
        QVERIFY(stored({"Icons", "a.txt", ""}) != kAbsent);
        QVERIFY(control<QRadioButton>(*w, "optSmallIcons")->isChecked());
        QVERIFY(control<QCheckBox>(*w, "chkShowOutOfDateAsRed")->isChecked());
        control<QCheckBox>(*w, "chkShowUpToDateAsBlue")->setChecked(true);
        control<QPushButton>(*w, "cmdCancel")->click();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(stored(settings::ShowUpToDateAsBlue) + stored(settings::CurrentView), kAbsent + kAbsent);
        // Large icons show as "List"; OK stores 2. A colour box that matches writes nothing and the
        // list is not rebuilt.
        list.setViewStyle(0);
        w = frmOptions::ShowOptions(list);
        QCOMPARE(frmOptions::ShowOptions(list), w.data());
        QVERIFY(control<QRadioButton>(*w, "optList")->isChecked());
        int sent = inet->commandsSent();
        control<QPushButton>(*w, "cmdOK")->click();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(list.viewStyle(), 2);
        QCOMPARE(stored(settings::CurrentView) + stored(settings::ShowOutOfDateAsRed),
                 QLatin1Char('2') + kAbsent);
        QCOMPARE(inet->commandsSent(), sent);
        // A changed colour is written and the list rebuilt to show it.
        w = frmOptions::ShowOptions(list);
        control<QCheckBox>(*w, "chkShowUpToDateAsBlue")->setChecked(true);
        control<QRadioButton>(*w, "optDetails")->setChecked(true);
        w->close();
        QCOMPARE(stored(settings::ShowUpToDateAsBlue), u"Yes"_s);
        QVERIFY(inet->commandsSent() > sent);
        QCOMPARE(list.model().find(u"a.txt"_s)->smallIconKey, u"new"_s);
        QCOMPARE(list.viewStyle(), 3);
        QVERIFY(d.unexpected().isEmpty());
        list.store().Shutdown();
    }
};

KRTP_TEST_MAIN_GUI(TestOptions)
#include "tst_options.moc"
