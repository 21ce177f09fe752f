#pragma once

#include "scripteddialogs.h"

#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace krtp::test {

// Around each test function of a window test: dialogs that answer from a script (a question without
// an answer is recorded, never shown), and afterwards the check that nothing unexpected was asked
// and no scripted answer was left over. Call init() from init() and QVERIFY(h.done()) from cleanup().
struct WindowHarness {
    std::unique_ptr<ScriptedDialogs> dlg;

    void init() { dlg = std::make_unique<ScriptedDialogs>(); }
    // False (with the reason as a test warning) when a question came unscripted or an answer stayed unused.
    bool done(bool answersUsedUp = true) {
        const QStringList unexpected = dlg->unexpected();
        const int pending = dlg->pendingAnswers();
        dlg.reset();
        if (!unexpected.isEmpty())
            qWarning("unexpected questions: %s", qPrintable(unexpected.join(QLatin1Char('|'))));
        if (answersUsedUp && pending)
            qWarning("%d scripted answers left over", pending);
        return unexpected.isEmpty() && (!answersUsedUp || pending == 0);
    }
    // Runs action once the window named name below owner (or owner itself, with no name) shows,
    // that is inside its modal loop.
    static void whenShown(QWidget* owner, const char* name, std::function<void(QWidget*)> action) {
        QTimer::singleShot(10, owner, [owner, name, action] {
            QWidget* w = name ? owner->findChild<QWidget*>(QLatin1String(name)) : owner;
            if (w && w->isVisible())
                action(w);
            else
                whenShown(owner, name, action);
        });
    }
    ScriptedDialogs& operator*() { return *dlg; }
    ScriptedDialogs* operator->() { return dlg.get(); }
};

} // namespace krtp::test
