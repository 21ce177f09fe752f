#include "transfer/gui/transferprogress.h"

#include "platform/dialogs.h"
#include "transfer/controlfiles.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

namespace krtp {

TransferProgress::TransferProgress(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TransferProgress"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    lblTransfer = new QLabel(this);
    lblTransfer->setObjectName(QStringLiteral("lblTransfer"));
    lblTransfer->setTextFormat(Qt::PlainText);
    prgTransfer = new QProgressBar(this);
    prgTransfer->setObjectName(QStringLiteral("prgTransfer"));
    prgTransfer->setMaximumWidth(180);
    prgTransfer->setTextVisible(false);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setToolTip(
        QStringLiteral("Stops the transfer under way; the previous copy of the file stays"));
    row->addWidget(lblTransfer, 1);
    row->addWidget(prgTransfer);
    row->addWidget(cmdCancel);
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        if (m_pool && m_pool->running())
            m_pool->cancel();
        else if (m_control)
            m_control->Cancel();
        cmdCancel->setEnabled(false);
        emit cancelled();
    });
    hide();
}

void TransferProgress::attach(TransferControl* control) {
    if (m_control)
        disconnect(m_control, nullptr, this, nullptr);
    m_control = control;
    if (!control)
        return;
    connect(control, &TransferControl::commandStarted, this, &TransferProgress::started);
    connect(control, &TransferControl::progress, this, &TransferProgress::moved);
    connect(control, &TransferControl::StateChanged, this, &TransferProgress::finished);
}

void TransferProgress::attachPool(TransferPool* pool) {
    if (m_pool)
        disconnect(m_pool, nullptr, this, nullptr);
    m_pool = pool;
    if (!pool)
        return;
    connect(pool, &TransferPool::started, this, [this](int total) {
        lblTransfer->setText(PoolLineText(0, total, 0, 0));
        prgTransfer->setRange(0, qMax(1, total));
        prgTransfer->setValue(0);
        cmdCancel->setEnabled(true);
        show();
    });
    connect(pool, &TransferPool::progress, this, [this](int done, int total, qint64 bytes, double rate) {
        lblTransfer->setText(PoolLineText(done, total, bytes, rate));
        prgTransfer->setValue(done);
    });
    connect(pool, &TransferPool::finished, this, [this] {
        if (!m_operating)
            hide();
    });
}

void TransferProgress::install(QMainWindow& window, QLabel* outcome) {
    m_outcome = outcome;
    QStatusBar* bar = window.statusBar();
    bar->addPermanentWidget(outcome, 1);
    bar->addPermanentWidget(this, 1);
    // Hover hints would replace both parts until the mouse moves on; the tooltips carry them.
    window.installEventFilter(this);
    connect(bar, &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (text.isEmpty()) {
            if (!m_operating && m_verb.isEmpty())
                hide();
            return;
        }
        lblTransfer->setText(text);
        show();
    });
}

bool TransferProgress::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::StatusTip)
        return true;
    return QWidget::eventFilter(watched, event);
}

void TransferProgress::beginOperation() {
    m_operating = true;
    if (m_outcome) {
        m_outcome->clear();
        m_outcome->setToolTip(QString());
    }
    lblTransfer->clear();
    prgTransfer->setRange(0, 0);
    cmdCancel->setEnabled(true);
    show();
}

void TransferProgress::endOperation() {
    m_operating = false;
    m_verb.clear();
    hide();
}

bool TransferProgress::AskOnBusyClose(QWidget& window) {
    if (!dialogs().cancelTransferOnClose())
        return false;
    // A window's progress line knows its pool and whom else to tell (the explorer's actions).
    for (TransferProgress* line : window.findChildren<TransferProgress*>()) {
        if (line->isVisible() && line->cmdCancel->isEnabled())
            line->cmdCancel->click();
        line->lblTransfer->setText(QStringLiteral("Cancelling the transfer\u2026"));
    }
    for (TransferControl* control : window.findChildren<TransferControl*>())
        if (control->StillExecuting())
            control->Cancel();
    return true;
}

QString TransferProgress::StepText(const QString& verb, const QString& hostPath) {
    const QStringList parts = hostPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    bool control = false;
    for (const QString& part : parts)
        control = control || IsControlFileName(part, {});
    if (!control)
        return {};
    const bool reading = verb == QLatin1String("GET");
    const QString lower = hostPath.toLower();
    if (lower.contains(QLatin1String("_history")))
        return reading ? QStringLiteral("Reading the version history")
                       : QStringLiteral("Saving the version history");
    if (lower.contains(QLatin1String("_files")))
        return reading ? QStringLiteral("Reading the shared file list")
                       : QStringLiteral("Saving the shared file list");
    return reading ? QStringLiteral("Reading the site's shared settings")
                   : QStringLiteral("Saving the site's shared settings");
}

QString TransferProgress::PoolLineText(int done, int total, qint64 bytes, double bytesPerSecond) {
    QString text = QStringLiteral("Transferring ") + QString::number(done) + QStringLiteral(" of ") +
                   QString::number(total) + QStringLiteral(" files: ") + SizeText(bytes);
    if (bytesPerSecond > 0)
        text += QStringLiteral(" at ") + SizeText(qint64(bytesPerSecond)) + QStringLiteral("/s");
    return text;
}

QString TransferProgress::SizeText(qint64 bytes) {
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" bytes");
    if (bytes < 1024 * 1024)
        return QString::number(bytes / 1024.0, 'f', 0) + QStringLiteral(" KB");
    return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

QString TransferProgress::LineText(const QString& verb, const QString& file, qint64 done, qint64 total,
                                   double bytesPerSecond) {
    QString text = verb + QLatin1Char(' ') + file + QStringLiteral(": ") + SizeText(done);
    if (total > 0)
        text += QStringLiteral(" of ") + SizeText(total);
    if (bytesPerSecond > 0)
        text += QStringLiteral(" at ") + SizeText(qint64(bytesPerSecond)) + QStringLiteral("/s");
    return text;
}

void TransferProgress::started(const QString& command) {
    const FtpCommand c = FtpCommand::parse(command);
    if (!c.error.isEmpty() || c.args.isEmpty() ||
        (c.verb != QLatin1String("GET") && c.verb != QLatin1String("PUT"))) {
        m_verb.clear();
        return;
    }
    m_verb = c.verb == QLatin1String("GET") ? QStringLiteral("Downloading") : QStringLiteral("Uploading");
    m_file = c.verb == QLatin1String("GET") ? c.args.first() : c.args.value(1, c.args.first());
    if (m_file.startsWith(QLatin1Char('/')))
        m_file.remove(0, 1);
    m_step = StepText(c.verb, m_file);
    m_clock.start();
    lblTransfer->setText(m_step.isEmpty() ? m_verb + QLatin1Char(' ') + m_file : m_step);
    prgTransfer->setRange(0, 0);
    cmdCancel->setEnabled(true);
    show();
}

void TransferProgress::moved(qint64 done, qint64 total) {
    // The program's own small files show as one step, without their names or sizes.
    if (m_verb.isEmpty() || !m_step.isEmpty())
        return;
    const double seconds = m_clock.elapsed() / 1000.0;
    lblTransfer->setText(LineText(m_verb, m_file, done, total, seconds > 0.05 ? done / seconds : 0));
    if (total > 0) {
        // Percent steps keep the bar within int range for any size.
        prgTransfer->setRange(0, 1000);
        prgTransfer->setValue(int(done * 1000 / total));
    }
}

void TransferProgress::finished(int state) {
    if (state != StateResponseCompleted && state != StateError)
        return;
    m_verb.clear();
    // Within an operation the line keeps its last step until the operation ends.
    if (!m_operating)
        hide();
}

} // namespace krtp
