#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

// Each test process gets a fresh home, configuration and data folder, so no test sees the
// settings or files of another run or of the person running it.
inline void krtpIsolateTestEnvironment(QTemporaryDir& home) {
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (home.path() + QStringLiteral("/run")).toUtf8());
    QDir(home.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(home.path() + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char* name : {"KRTP_FTP_HOST", "KRTP_BASE_URL", "KRTP_FTP_USER", "KRTP_FTP_PASSWORD",
                             "KRTP_PROTOCOL", "KRTP_SFTP_KEY_FILE", "KRTP_SFTP_HOST_KEY"})
        qunsetenv(name);
    // No session bus, so no desktop keyring: a test never reads or files secrets in the keyring of
    // the person running it. Tests of the keyring install a fake one, or start a bus of their own.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// Once a check of the running test function has failed, nothing answers the window it was working
// on: end every popup and modal window at once, so the program fails now and not at ctest's timeout.
inline void krtpEndWindowsAfterFailure(QObject* app) {
    if (!qobject_cast<QApplication*>(app))
        return;
    auto* poll = new QTimer(app);
    QObject::connect(poll, &QTimer::timeout, [] {
        if (!QTest::currentTestFailed())
            return;
        for (QWidget* w : {QApplication::activePopupWidget(), QApplication::activeModalWidget()}) {
            if (!w)
                continue;
            if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
            else
                w->close();
            w->hide();
        }
    });
    poll->start(100);
}

#define KRTP_TEST_MAIN_IMPL(AppClass, TestClass)                                                             \
    int main(int argc, char* argv[]) {                                                                       \
        QTemporaryDir home;                                                                                  \
        krtpIsolateTestEnvironment(home);                                                                    \
        AppClass app(argc, argv);                                                                            \
        app.setApplicationName(QStringLiteral("KRtp"));                                                      \
        krtpEndWindowsAfterFailure(&app);                                                                    \
        TestClass tc;                                                                                        \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

// Tests without windows.
#define KRTP_TEST_MAIN_CORE(TestClass) KRTP_TEST_MAIN_IMPL(QCoreApplication, TestClass)
// Tests with windows (offscreen).
#define KRTP_TEST_MAIN_GUI(TestClass) KRTP_TEST_MAIN_IMPL(QApplication, TestClass)
