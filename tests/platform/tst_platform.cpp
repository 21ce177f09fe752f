#include "platform/consoledialogs.h"
#include "platform/gui/qtdialogs.h"
#include "testmain.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdio>

using namespace krtp;

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
        const Dialogs::Button answer =
            dialogs.message(QStringLiteral("Delete <b>index.html</b>?\r\n<img src=x>"),
                            Dialogs::Icon::Question, Dialogs::Yes | Dialogs::No);
        QCOMPARE(answer, Dialogs::No);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shown, QStringLiteral("Delete <b>index.html</b>?\n<img src=x>"));
    }

    // On a terminal, text from the host (a name with ESC or a lone CR) must not steer the display.
    void consoleShowsControlCharactersAsEscapes() {
        FILE* out = std::tmpfile();
        QVERIFY(out);
        ConsoleDialogs console(false, out);
        console.message(QStringLiteral("Bren\x1b[2J held\rx.txt\r\nnext line"), Dialogs::Icon::None,
                        Dialogs::Ok, Dialogs::NoButton, QString());
        console.status(QStringLiteral("Waiting for ") + QChar(7) + QStringLiteral("Bren"));
        std::rewind(out);
        char buffer[256] = {};
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
        std::fclose(out);
        QCOMPARE(QByteArray(buffer, int(n)),
                 QByteArray("Bren\\x1b[2J held\\x0dx.txt\nnext line\nWaiting for \\x07Bren\n"));
    }

    void fileFiltersInQtForm() {
        QCOMPARE(QtDialogs::QtFileFilter(
                     QStringLiteral("All Allowed File Types|*.html;*.htm;*.gif|HTML Files|*.html")),
                 QStringLiteral("All Allowed File Types (*.html *.htm *.gif);;HTML Files (*.html)"));
        QCOMPARE(QtDialogs::QtFileFilter(QStringLiteral("Images (*.png)")), QStringLiteral("Images (*.png)"));
    }
};

KRTP_TEST_MAIN_GUI(TestPlatform)
#include "tst_platform.moc"
