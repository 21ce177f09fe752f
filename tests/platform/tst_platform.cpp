#include "platform/consoledialogs.h"
#include "platform/gui/qtdialogs.h"
#include "testmain.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdio>

using namespace krtp;
using namespace Qt::StringLiterals;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    // Messages carry file names, host replies and error texts: they are shown as written, never
    // read as markup, with CR LF line breaks.
    void messagesArePlainText() {
        QtDialogs qt;
        Dialogs& dialogs = qt;
        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shown = box->text();
            format = box->textFormat();
            box->button(QMessageBox::No)->click();
        });
        const Dialogs::Button answer = dialogs.message(u"Delete <b>index.html</b>?\r\n<img src=x>"_s,
                                                       Dialogs::Icon::Question, Dialogs::Yes | Dialogs::No);
        QCOMPARE(answer, Dialogs::No);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shown, u"Delete <b>index.html</b>?\n<img src=x>"_s);
    }

    // On a terminal, text from the host (a name with ESC or a lone CR) must not steer the display.
    void consoleShowsControlCharactersAsEscapes() {
        FILE* out = std::tmpfile();
        QVERIFY(out);
        ConsoleDialogs console(false, out);
        console.message(u"Bren\x1b[2J held\rx.txt\r\nnext line"_s, Dialogs::Icon::None, Dialogs::Ok,
                        Dialogs::NoButton, QString());
        console.status(u"Waiting for "_s + QChar(7) + u"Bren"_s);
        std::rewind(out);
        char buffer[256] = {};
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
        std::fclose(out);
        QCOMPARE(QByteArray(buffer, int(n)),
                 QByteArray("Bren\\x1b[2J held\\x0dx.txt\nnext line\nWaiting for \\x07Bren\n"));
    }

    void fileFiltersInQtForm() {
        QCOMPARE(QtDialogs::QtFileFilter(u"All Allowed File Types|*.html;*.htm;*.gif|HTML Files|*.html"_s),
                 u"All Allowed File Types (*.html *.htm *.gif);;HTML Files (*.html)"_s);
        QCOMPARE(QtDialogs::QtFileFilter(u"Images (*.png)"_s), u"Images (*.png)"_s);
    }
};

KRTP_TEST_MAIN_GUI(TestPlatform)
#include "tst_platform.moc"
