#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QMainWindow;
class QProgressBar;
class QPushButton;

namespace krtp {

class TransferControl;
class TransferPool;

// A progress line for a window's transfer control: while a file moves it shows which file, the
// bytes so far (of how many, when known), the rate, and a Cancel button; otherwise it hides. It
// reads the control's own progress reports, which come at most ten times a second, so showing them
// costs the transfer nothing. Installed in a window's status bar with the outcome label, it is the
// status line of the window's operations.
class TransferProgress : public QWidget {
    Q_OBJECT
public:
    explicit TransferProgress(QWidget* parent = nullptr);

    // Follows control; Cancel stops its running command.
    void attach(TransferControl* control);
    // Also follows a pool of connections: one line for the whole run; Cancel stops every transfer.
    void attachPool(TransferPool* pool);
    // "Transferring 12 of 200 files: 48 KB at 120 KB/s".
    static QString PoolLineText(int done, int total, qint64 bytes, double bytesPerSecond);

    // Puts outcome (the last operation's result) and this line into window's status bar as
    // permanent parts that nothing shown in passing covers: hover hints go to tooltips only, and the
    // notes an operation gives through the dialogs (waiting for a lock) show on this line.
    void install(QMainWindow& window, QLabel* outcome);
    // An operation starts: the previous outcome goes and the line shows what runs until it ends.
    void beginOperation();
    void endOperation();
    bool operating() const { return m_operating; }

    // A window closed while it works asks whether to wait or cancel; Cancel transfer stops every
    // transfer of the window (its controls and connection pools). The window stays until the work
    // has ended either way. True when the member cancelled.
    static bool AskOnBusyClose(QWidget& window);

    // A step on one of the program's own files in the member's words ("Saving the shared file list");
    // empty for a member's file. Lock and scratch names never show.
    static QString StepText(const QString& verb, const QString& hostPath);

    // "12.5 MB", "830 KB", "512 bytes".
    static QString SizeText(qint64 bytes);
    // "Downloading news/index.html: 12.5 MB of 200 MB at 45.1 MB/s".
    static QString LineText(const QString& verb, const QString& file, qint64 done, qint64 total,
                            double bytesPerSecond);

    QLabel* lblTransfer;
    QProgressBar* prgTransfer;
    QPushButton* cmdCancel;

signals:
    // Cancel was pressed (after the control was told to stop).
    void cancelled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void started(const QString& command);
    void moved(qint64 done, qint64 total);
    void finished(int state);

    TransferControl* m_control = nullptr;
    TransferPool* m_pool = nullptr;
    QString m_verb;
    QString m_file;
    QString m_step;
    QLabel* m_outcome = nullptr;
    bool m_operating = false;
    QElapsedTimer m_clock;
};

} // namespace krtp
