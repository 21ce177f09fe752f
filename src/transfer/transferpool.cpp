#include "transfer/transferpool.h"

#include "transfer/transfercontrol.h"

#include <QDateTime>
#include <QEventLoop>
#include <algorithm>

namespace krtp {

struct TransferPool::Slot {
    std::unique_ptr<TransferControl> control;
    int job = -1;           // running job, -1 when idle
    bool retired = false;   // the host would not take this connection
    bool succeeded = false; // has finished a job: its session is known to work
    qint64 moved = 0;       // bytes of the running job so far
    int step = 0;           // command of the running job, for jobs of several
};

TransferPool::TransferPool(int connections, QObject* parent) : QObject(parent) {
    setConnections(connections);
}

TransferPool::~TransferPool() {
    for (auto& slot : m_slots)
        if (slot->control && slot->control->StillExecuting())
            slot->control->Cancel();
}

void TransferPool::setConnections(int n) {
    m_size = std::clamp(n, 1, kMaxConnections);
}

int TransferPool::logins() const {
    int n = 0;
    for (const auto& slot : m_slots)
        n += slot->control->connectionsOpened();
    return n;
}

int TransferPool::commandsSent() const {
    int n = 0;
    for (const auto& slot : m_slots)
        n += slot->control->commandsSent();
    return n;
}

void TransferPool::cancel() {
    m_cancelled = true;
    m_queue.clear();
    for (auto& slot : m_slots)
        if (slot->job >= 0)
            slot->control->Cancel();
}

void TransferPool::emitProgress() {
    qint64 bytes = m_bytesDone;
    for (const auto& slot : m_slots)
        if (slot->job >= 0)
            bytes += slot->moved;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch() - m_startedMs;
    emit progress(m_done, m_total, bytes, ms > 50 ? bytes * 1000.0 / ms : 0.0);
}

void TransferPool::startNext(Slot& slot) {
    slot.job = -1;
    slot.moved = 0;
    slot.step = 0;
    if (m_cancelled || m_queue.isEmpty() || slot.retired)
        return;
    const int job = m_queue.takeFirst();
    const QString command = m_next ? m_next(job, 0, *slot.control) : m_commands.at(job);
    if (command.isEmpty()) {
        // The job chose not to start: the connection takes the next one.
        m_outcomes[job] = Outcome();
        ++m_done;
        startNext(slot);
        return;
    }
    slot.job = job;
    m_outcomes[job].started = true;
    if (!slot.control->Execute(command)) {
        // Cannot happen on an idle control; counted as a failure rather than lost.
        m_outcomes[job].error = slot.control->lastError();
        ++m_done;
        slot.job = -1;
    }
}

void TransferPool::onFinished(Slot& slot) {
    const int job = slot.job;
    if (job < 0)
        return;
    TransferControl& c = *slot.control;
    Outcome o;
    o.started = true;
    o.ok = c.lastSucceeded();
    o.replyCode = c.lastReplyCode();
    o.error = c.lastError();
    // A connection that never worked and failed without a file's refusal (or with "421 Too many
    // connections"): the host takes fewer sessions. Its job goes to a connection that does work.
    const bool refusedSession = !o.ok && !slot.succeeded && !m_cancelled && slot.step == 0 &&
                                (o.replyCode == 0 || o.replyCode == 421);
    int live = 0;
    for (const auto& s : m_slots)
        if (!s->retired)
            ++live;
    if (refusedSession && live > 1) {
        slot.retired = true;
        slot.job = -1;
        m_queue.prepend(job);
        // An idle working connection takes it now.
        for (auto& s : m_slots)
            if (!s->retired && s->job < 0)
                startNext(*s);
        return;
    }
    if (o.ok)
        slot.succeeded = true;
    if (m_next) {
        const QString more = m_next(job, slot.step + 1, c);
        if (!more.isEmpty()) {
            ++slot.step;
            if (c.Execute(more))
                return;
            o.ok = false;
            o.error = c.lastError();
        }
    }
    m_bytesDone += slot.moved;
    m_outcomes[job] = o;
    ++m_done;
    if (refusedSession) {
        // The last connection cannot reach the host either: the rest would fail the same way.
        for (const int rest : std::as_const(m_queue)) {
            m_outcomes[rest] = o;
            m_outcomes[rest].started = false;
            ++m_done;
        }
        m_queue.clear();
    }
    emitProgress();
    startNext(slot);
}

QList<TransferPool::Outcome> TransferPool::run(const QStringList& commands) {
    m_commands = commands;
    return runJobs(int(commands.size()));
}

QList<TransferPool::Outcome> TransferPool::run(int jobs, const NextCommand& next) {
    m_commands.clear();
    m_next = next;
    const QList<Outcome> outcomes = runJobs(jobs);
    m_next = nullptr;
    return outcomes;
}

QList<TransferPool::Outcome> TransferPool::runJobs(int jobs) {
    m_total = jobs;
    m_outcomes = QList<Outcome>(jobs);
    m_queue.clear();
    for (int i = 0; i < jobs; ++i)
        m_queue << i;
    m_done = 0;
    m_bytesDone = 0;
    m_cancelled = false;
    m_running = true;
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    emit started(jobs);

    // Connections are made as the work needs them and kept for the next run.
    const int wanted = std::min<int>(m_size, jobs);
    for (auto& slot : m_slots)
        slot->retired = false;
    while (int(m_slots.size()) < wanted) {
        auto slot = std::make_unique<Slot>();
        slot->control = std::make_unique<TransferControl>();
        if (configure)
            configure(*slot->control);
        Slot* raw = slot.get();
        connect(raw->control.get(), &TransferControl::StateChanged, this, [this, raw](int state) {
            if ((state == StateResponseCompleted || state == StateError) && !raw->control->StillExecuting()) {
                onFinished(*raw);
                if (m_wake)
                    m_wake();
            }
        });
        connect(raw->control.get(), &TransferControl::progress, this, [this, raw](qint64 done, qint64) {
            raw->moved = done;
            emitProgress();
        });
        m_slots.push_back(std::move(slot));
    }
    QEventLoop loop;
    const auto allIdle = [this] {
        return std::none_of(m_slots.begin(), m_slots.end(), [](const auto& s) { return s->job >= 0; });
    };
    m_wake = [&] {
        if (allIdle())
            loop.quit();
    };
    for (int i = 0; i < wanted; ++i)
        startNext(*m_slots[size_t(i)]);
    if (!allIdle())
        loop.exec();
    m_wake = nullptr;
    m_running = false;
    emit finished();
    return m_outcomes;
}

} // namespace krtp
