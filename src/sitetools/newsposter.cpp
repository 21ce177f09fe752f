#include "sitetools/newsposter.h"

#include "config/runstate.h"
#include "platform/dialogs.h"
#include "transfer/sharedfile.h"
#include "transfer/transferroutines.h"
#include "util/fileutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace krtp {

namespace {

// Answers nothing and shows nothing: for the steps whose failures are ignored.
class SilentDialogs : public Dialogs {
public:
    Button message(const QString&, Icon, Buttons buttons, Button, const QString&) override {
        for (Button b : {Ok, Cancel, No})
            if (buttons & b)
                return b;
        return Ok;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QStringList> openFiles(const QString&, const QString&, bool, const QString&) override {
        return {};
    }
    std::optional<QString> chooseFolder(const QString&, const QString&) override { return {}; }
};

// Keeps the process's dialogs quiet for its lifetime (the transfer routines report through them).
class QuietDialogs {
public:
    QuietDialogs() : m_previous(&dialogs()) { setDialogs(&m_silent); }
    ~QuietDialogs() { setDialogs(m_previous); }
    QuietDialogs(const QuietDialogs&) = delete;
    QuietDialogs& operator=(const QuietDialogs&) = delete;

private:
    SilentDialogs m_silent;
    Dialogs* m_previous;
};

} // namespace

NewsPoster::NewsPoster(TransferControl& control, Dialogs& dialogs) : m_control(control), m_dialogs(dialogs) {}

bool NewsPoster::LoadPages() {
    QString text;
    const bool ok = GetFileFromServer(m_control, QLatin1String(kNewsListPath), text);
    SetPages(ok ? ParseNewsPages(text, runState().CurrentUserName) : QList<NewsPage>());
    return ok;
}

void NewsPoster::SetPages(const QList<NewsPage>& pages) {
    m_pages = pages;
    SelectPage(m_pages.isEmpty() ? -1 : 0);
}

void NewsPoster::SelectPage(int index) {
    if (index < 0 || index >= m_pages.size()) {
        m_selected = -1;
        m_pagePath.clear();
        m_templatePath.clear();
        return;
    }
    m_selected = index;
    m_pagePath = m_pages.at(index).pagePath;
    m_templatePath = m_pages.at(index).templatePath;
}

QString NewsPoster::PageMirrorPath() const {
    return MapMirrorPath(m_pagePath).localFile();
}

bool NewsPoster::ComposePost(bool pblnSend, const NewsItemText& text) {
    m_lastInsertCount = 0;
    if (m_pagePath.isEmpty() || m_templatePath.isEmpty()) {
        m_dialogs.message(selectPageMessage(), Dialogs::Icon::None, Dialogs::Ok);
        return false;
    }
    if (text.news.trimmed().isEmpty()) {
        m_dialogs.message(emptyNewsMessage(), Dialogs::Icon::Warning, Dialogs::Ok);
        return false;
    }
    // The paths come from the host's news list: never let one leave the site folder.
    for (const QString& path : {m_templatePath, m_pagePath}) {
        const QString why = SitePathError(path);
        if (!why.isEmpty()) {
            m_dialogs.message(why, Dialogs::Icon::Critical, Dialogs::Ok);
            return false;
        }
    }

    QString templateText;
    if (!GetFileFromServer(m_control, m_templatePath, templateText))
        return false;
    const QString item = FillNewsTemplate(templateText, runState().CurrentUserName, clock(), text);
    const QString local = PageMirrorPath();
    QString error;

    if (!pblnSend) {
        // A preview changes only the mirror copy, so it needs no lock.
        QString saveOnly = QLatin1String(kSaveToFile);
        if (!GetFileFromServer(m_control, m_pagePath, saveOnly))
            return false;
        QByteArray page;
        if (!ReadWholeFile(local, page, &error)) {
            m_dialogs.message(error, Dialogs::Icon::Critical, Dialogs::Ok);
            return false;
        }
        page = InsertNewsItem(page, item, &m_lastInsertCount);
        if (m_lastInsertCount == 0) {
            m_dialogs.message(noMarkerMessage(m_pagePath), Dialogs::Icon::Critical, Dialogs::Ok);
            return false;
        }
        if (!WriteWholeFile(local, page, &error)) {
            m_dialogs.message(error, Dialogs::Icon::Critical, Dialogs::Ok);
            return false;
        }
        return true;
    }

    // The item goes into the page as the host has it now, under the lock, so that a post made at the
    // same moment by another member is kept. The page is kept as bytes: whatever its encoding, only
    // the item is added to it.
    SharedFileEdit edit;
    const MirrorPath place = MapMirrorPath(m_pagePath);
    edit.hostPath = place.hostFile();
    edit.localCopy = local;
    edit.subject = QStringLiteral("the news page ") + m_pagePath;
    edit.apply = [this, item](const QByteArray& current, bool, QString& why) -> std::optional<QByteArray> {
        int count = 0;
        QByteArray page = InsertNewsItem(current, item, &count);
        m_lastInsertCount = count;
        if (count == 0) {
            why = noMarkerMessage(m_pagePath);
            return std::nullopt;
        }
        return page;
    };
    return ChangeSharedFile(m_control, m_dialogs, edit).ok;
}

QString NewsPoster::NameGifPath() {
    return runState().CurrentUserName.toLower() + QStringLiteral(".gif");
}

QString NewsPoster::NameGifMirrorPath(const QString& nameGif) {
    return MapMirrorPath(nameGif).localFile();
}

QString NewsPoster::LoadNameGif() {
    const QString nameGif = NameGifPath();
    if (!SitePathError(nameGif).isEmpty())
        return {};
    QuietDialogs quiet;
    QString saveOnly = QLatin1String(kSaveToFile);
    GetFileFromServer(m_control, nameGif, saveOnly);
    const QString local = NameGifMirrorPath(nameGif);
    return QFileInfo(local).isFile() ? local : QString();
}

bool NewsPoster::ChangeNameGif(const QString& nameGif, const QString& chosenFile) {
    if (!SitePathError(nameGif).isEmpty())
        return false;
    const MirrorPath target = MapMirrorPath(nameGif);
    QDir().mkpath(target.localFolder);
    const QString from = QFileInfo(chosenFile).canonicalFilePath();
    if (from.isEmpty())
        return false;
    // Choosing the mirror copy itself needs no copy (and copying a file onto itself would lose it).
    if (from != QFileInfo(target.localFile()).canonicalFilePath()) {
        // Copied beside the GIF first: a copy that fails leaves the member's GIF as it was.
        const QString part = target.localFile() + QStringLiteral(".part");
        QFile::remove(part);
        if (!QFile::copy(from, part)) {
            QFile::remove(part);
            return false;
        }
        if ((QFileInfo(target.localFile()).isSymLink() || QFileInfo::exists(target.localFile())) &&
            !QFile::remove(target.localFile())) {
            QFile::remove(part);
            return false;
        }
        if (!QFile::rename(part, target.localFile()))
            return false;
    }
    return SendFileToServer(m_control, nameGif);
}

std::optional<QString> NewsPoster::AskNewMember(Dialogs& dialogs) {
    const std::optional<QString> name =
        dialogs.input(QStringLiteral("New Member"), QStringLiteral("Please enter the name of the new member"),
                      QStringLiteral("Dovrin"));
    if (!name || name->isEmpty())
        return std::nullopt;
    return NewMemberText(*name);
}

std::optional<QString> NewsPoster::AskHyperlink(Dialogs& dialogs, const QString& selected) {
    const QString title = QStringLiteral("Insert Hyperlink");
    const std::optional<QString> reference =
        dialogs.input(title, QStringLiteral("Please Enter Hyperlink Reference"), exampleHyperlink());
    if (!reference || reference->isEmpty())
        return std::nullopt;
    const Dialogs::Button newWindow = dialogs.message(
        QStringLiteral("Would you like this hyperlink to open in a new window?"), Dialogs::Icon::None,
        Dialogs::Yes | Dialogs::No | Dialogs::Cancel, Dialogs::NoButton, title);
    if (newWindow != Dialogs::Yes && newWindow != Dialogs::No)
        return std::nullopt;
    const QString proposal = selected.isEmpty() ? QStringLiteral("click here") : selected;
    const std::optional<QString> linkText = dialogs.input(
        title, QStringLiteral("How would you like this hyperlink to appear on the page?"), proposal);
    if (!linkText || linkText->isEmpty())
        return std::nullopt;
    return HyperlinkText(*reference, newWindow == Dialogs::Yes, *linkText);
}

std::optional<QString> NewsPoster::AskImage(Dialogs& dialogs, const QString& baseUrl) {
    const std::optional<QString> location =
        dialogs.input(QStringLiteral("Insert Image"), QStringLiteral("Please enter the image location."),
                      baseUrl + runState().CurrentUserName.toLower() + QStringLiteral(".gif"));
    if (!location || location->isEmpty())
        return std::nullopt;
    return ImageText(*location);
}

} // namespace krtp
