#pragma once

#include "sitetools/newspages.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace krtp {

class Dialogs;
class TransferControl;

// The news window's work apart from its widgets: the page list, composing and sending an item, the
// member's name GIF. The clock is replaceable so that tests and scripts post "at" a given time.
class NewsPoster {
public:
    NewsPoster(TransferControl& control, Dialogs& dialogs);

    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    // Downloads the news list and keeps the pages offered to the current member; the first one is
    // selected. A missing or unreadable list leaves no pages.
    bool LoadPages();
    const QList<NewsPage>& pages() const { return m_pages; }
    void SetPages(const QList<NewsPage>& pages);
    // Selects the page at index (no page for an index out of range).
    void SelectPage(int index);
    int selectedIndex() const { return m_selected; }
    QString pagePath() const { return m_pagePath; }
    QString templatePath() const { return m_templatePath; }

    // Builds the item from the selected page's template and text, inserts it into a fresh copy of
    // the page and writes the page's mirror copy; when pblnSend is true, the item goes into the page
    // as the host has it under the shared lock, and the page is sent and read back. A page without
    // the marker is a failure: nothing is sent. Messages go through the dialogs.
    bool ComposePost(bool pblnSend, const NewsItemText& text);
    // How many markers the last ComposePost found in the page.
    int lastInsertCount() const { return m_lastInsertCount; }
    // The page's mirror copy, relative to the local folder.
    QString PageMirrorPath() const;

    // The member's name GIF: host path (member name in lower case + ".gif") and mirror copy.
    static QString NameGifPath();
    static QString NameGifMirrorPath(const QString& nameGif);
    // Downloads the name GIF into the mirror; returns its mirror path, or empty on any failure.
    QString LoadNameGif();
    // Puts chosenFile in place of the name GIF (txtNameGIF's text) and sends it; false on failure.
    bool ChangeNameGif(const QString& nameGif, const QString& chosenFile);

    // The questions of the insert buttons; each gives the text to insert, or nothing when the member
    // gave no answer. selected is the news text's selection (for the link text).
    static std::optional<QString> AskNewMember(Dialogs& dialogs);
    static std::optional<QString> AskHyperlink(Dialogs& dialogs, const QString& selected);
    static std::optional<QString> AskImage(Dialogs& dialogs, const QString& baseUrl);
    static QString exampleHyperlink() { return QStringLiteral("http://www.example.com/"); }

    static QString selectPageMessage() { return QStringLiteral("Please Select a News Page."); }
    static QString noMarkerMessage(const QString& page) {
        return page + QStringLiteral(" has no <!--begin--> marker, so nothing was posted.");
    }
    static QString emptyNewsMessage() {
        return QStringLiteral("You must type something in order to make a news post @_@");
    }

private:
    TransferControl& m_control;
    Dialogs& m_dialogs;
    QList<NewsPage> m_pages;
    int m_selected = -1;
    QString m_pagePath;
    QString m_templatePath;
    int m_lastInsertCount = 0;
};

} // namespace krtp
