#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

namespace krtp {

class TransferControl;

// Follows one transfer control's progress reports and words them for a status line, e.g.
// "Receiving team roster.txt: 1.2 MB of 3.4 MB, 850 KB/s". changed() carries the new text, and an
// empty text once the command has ended.
class TransferProgress : public QObject {
    Q_OBJECT
public:
    explicit TransferProgress(TransferControl& control, QObject* parent = nullptr);

    QString text() const { return m_text; }

    // The line for a command after done of total bytes (total 0 or less: not known) at a rate.
    static QString Describe(const QString& command, qint64 done, qint64 total, double bytesPerSecond);
    // "512 bytes", "12.5 KB", "3.4 MB".
    static QString Size(qint64 bytes);

signals:
    void changed(const QString& text);

private:
    void onProgress(qint64 done, qint64 total);
    void onState(int state);

    TransferControl& m_control;
    QString m_command;
    qint64 m_lastDone = 0;
    QElapsedTimer m_started;
    QString m_text;
};

} // namespace krtp
