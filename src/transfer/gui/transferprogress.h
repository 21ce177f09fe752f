#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace krtp {

class TransferControl;
class TransferPool;

// A progress line for a window's transfer control: while a file moves it shows which file, the
// bytes so far (of how many, when known), the rate, and a Cancel button; otherwise it hides. It
// reads the control's own progress reports, which come at most ten times a second, so showing them
// costs the transfer nothing.
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

private:
    void started(const QString& command);
    void moved(qint64 done, qint64 total);
    void finished(int state);

    TransferControl* m_control = nullptr;
    TransferPool* m_pool = nullptr;
    QString m_verb;
    QString m_file;
    QElapsedTimer m_clock;
};

} // namespace krtp
