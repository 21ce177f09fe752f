#include "platform/gui/qtdialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>

namespace krtp {

namespace {

QMessageBox::Icon toQt(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonMap {
    Dialogs::Button ours;
    QMessageBox::StandardButton qt;
};
constexpr ButtonMap kButtons[] = {
    {Dialogs::Ok, QMessageBox::Ok},         {Dialogs::Cancel, QMessageBox::Cancel},
    {Dialogs::Yes, QMessageBox::Yes},       {Dialogs::No, QMessageBox::No},
    {Dialogs::Retry, QMessageBox::Retry},   {Dialogs::Abort, QMessageBox::Abort},
    {Dialogs::Ignore, QMessageBox::Ignore},
};

QString displayText(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

} // namespace

Dialogs::Button QtDialogs::message(const QString& text, Icon icon, Buttons buttons, Button defaultButton,
                                   const QString& title) {
    QMessageBox box(toQt(icon), title.isEmpty() ? defaultTitle() : title, displayText(text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    // Texts carry file names and host replies: never let them be read as markup.
    box.setTextFormat(Qt::PlainText);
    for (const ButtonMap& b : kButtons)
        if (buttons & b.ours)
            box.addButton(b.qt);
    if (buttons == NoButton)
        box.addButton(QMessageBox::Ok);
    for (const ButtonMap& b : kButtons)
        if (b.ours == defaultButton)
            box.setDefaultButton(b.qt);
    // The busy pointer must not hide that an answer is awaited.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    for (const ButtonMap& b : kButtons)
        if (b.qt == result)
            return b.ours;
    for (Button b : {Cancel, No, Ok})
        if (buttons & b)
            return b;
    return Ok;
}

Dialogs::Button QtDialogs::choose(const QString& text, const QString& yesCaption, const QString& noCaption,
                                  Icon icon) {
    QMessageBox box(toQt(icon), defaultTitle(), displayText(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    // The safe answer is the default and what closing the box means.
    QPushButton* no = box.addButton(noCaption, QMessageBox::RejectRole);
    QPushButton* yes = box.addButton(yesCaption, QMessageBox::DestructiveRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    return box.clickedButton() == yes ? Yes : No;
}

namespace {
std::optional<QString> askText(const QString& title, const QString& prompt, QLineEdit::EchoMode echo,
                               const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), title.isEmpty() ? Dialogs::defaultTitle() : title,
                              displayText(prompt), echo, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}
} // namespace

std::optional<QString> QtDialogs::input(const QString& title, const QString& prompt,
                                        const QString& defaultText) {
    return askText(title, prompt, QLineEdit::Normal, defaultText);
}

std::optional<QString> QtDialogs::secret(const QString& title, const QString& prompt) {
    return askText(title, prompt, QLineEdit::Password, {});
}

QString QtDialogs::QtFileFilter(const QString& filter) {
    if (!filter.contains(QLatin1Char('|')) || filter.contains(QLatin1String(";;")))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<QStringList> QtDialogs::openFiles(const QString& title, const QString& filter, bool multiple,
                                                const QString& folder) {
    QStringList files;
    if (multiple) {
        files =
            QFileDialog::getOpenFileNames(QApplication::activeWindow(), title, folder, QtFileFilter(filter));
    } else {
        const QString f =
            QFileDialog::getOpenFileName(QApplication::activeWindow(), title, folder, QtFileFilter(filter));
        if (!f.isEmpty())
            files << f;
    }
    if (files.isEmpty())
        return std::nullopt;
    return files;
}

std::optional<QString> QtDialogs::chooseFolder(const QString& title, const QString& folder) {
    const QString f = QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, folder);
    if (f.isEmpty())
        return std::nullopt;
    return f;
}

std::optional<QString> QtDialogs::saveFile(const QString& title, const QString& suggested) {
    const QString f = QFileDialog::getSaveFileName(QApplication::activeWindow(), title, suggested);
    if (f.isEmpty())
        return std::nullopt;
    return f;
}

void QtDialogs::status(const QString& text) {
    QStatusBar* bar = nullptr;
    if (QWidget* active = QApplication::activeWindow(); qobject_cast<QMainWindow*>(active))
        bar = active->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (bar)
            break;
        if (qobject_cast<QMainWindow*>(w) && w->isVisible())
            bar = w->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    }
    if (!bar)
        return;
    if (text.isEmpty())
        bar->clearMessage();
    else
        bar->showMessage(text);
}

void QtDialogs::beginBusy() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}
void QtDialogs::endBusy() {
    QApplication::restoreOverrideCursor();
}

bool QtDesktopServices::openDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktopServices::startProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

bool QtDesktopServices::openFileManager(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool QtDesktopServices::openUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

} // namespace krtp
