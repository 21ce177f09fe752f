#pragma once

#include "hostfixture.h"

#include <QByteArray>
#include <QList>
#include <QTest>

namespace krtp::test {

// One catalogue line in the form every client writes.
inline QByteArray catalogueLine(const char* name, int version, const char* controller = "",
                                const char* author = "", const char* desc = "", const char* comment = "") {
    return QByteArray("\"") + name + "\"," + QByteArray::number(version) + ",\"" + controller + "\",\"" +
           author + "\",\"" + desc + "\",\"" + comment + "\"\r\n";
}

inline QByteArray catalogue(const QList<QByteArray>& lines, const char* required = "2.0.5", int count = -1) {
    QByteArray out =
        QByteArray(required) + "\r\n" + QByteArray::number(count < 0 ? lines.size() : count) + "\r\n";
    for (const QByteArray& l : lines)
        out += l;
    return out;
}

inline QByteArray bigCatalogue(int entries) {
    QList<QByteArray> lines;
    lines.reserve(entries);
    for (int i = 0; i < entries; ++i) {
        const QByteArray name = "page" + QByteArray::number(i) + (i % 3 == 0 ? ".txt" : ".html");
        lines << catalogueLine(name.constData(), 1 + i % 7, i % 11 == 0 ? "someone" : "", "author",
                               "A description of the page, long enough to be typical",
                               "someone: last change");
    }
    return catalogue(lines);
}

// Records the member's local versions, given as "name=version name=version...".
inline void setLocalVersions(const QString& versions) {
    for (const QString& pair : versions.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        settingsStore().setFileVersion(pair.section(QLatin1Char('='), 0, 0),
                                       pair.section(QLatin1Char('='), 1));
}

// The shared host fixture; the member is "Dovrin".
struct StoreFixture : HostFixture {
    bool start() {
        if (!startHost())
            return false;
        resetLocal();
        logIn(QStringLiteral("Dovrin"), LevelFullAccess);
        return true;
    }
};

} // namespace krtp::test

// The window tests of the store define KRTP_STORE_WINDOW_TEST before including this header.
#ifdef KRTP_STORE_WINDOW_TEST
#include "controls.h"
#include "filestore/gui/filelistview.h"
#include "filestore/gui/frmfilelist.h"
#include "filestore/storeoperations.h"
#include "testfiles.h"
#include "windowharness.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>

namespace krtp::test {

inline bool showAndRebuild(frmFileList& w) {
    w.show();
    return QTest::qWaitForWindowExposed(&w) && w.UpdateFileList();
}

inline void clickEntry(frmFileList& w, const QString& key, Qt::KeyboardModifiers mods = {},
                       Qt::MouseButton button = Qt::LeftButton) {
    QAbstractItemView* view = control<FileListView>(w, "lvwFileList")->currentView();
    const QModelIndex index = w.model().index(w.model().rowOf(key), 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), button, mods, view->visualRect(index).center());
}

} // namespace krtp::test
#endif
