#pragma once

#include <QtGlobal>

#include <deque>
#include <mutex>
#include <vector>

// Times short replies from the moment the device sent them to the end of
// the first frame that painted the view after they were appended to it.
//
// A reply is known by where it ends in the received stream. A frame shows
// every reply that had been consumed when the view's paint began; the
// frame's time is taken once the whole frame, flush included, is done.
// Replies may be added from the device's thread; the rest runs on the
// window's thread.
class ReplyTracker {
public:
    struct Summary {
        int count = 0;
        int unresolved = 0;  // never shown: counted with the time they waited
        double medianMs = 0;
        double p99Ms = 0;
    };

    // The device sent a reply that ends at stream offset `end` at `sentNs`.
    // Replies are added in stream order.
    void add(qint64 end, qint64 sentNs);

    // The view's paint begins while `consumed` bytes have been appended.
    void paintStarted(qint64 consumed);

    // The frame that held the paint is done.
    void frameDone(qint64 nowNs);

    int resolved() const { return int(m_latenciesMs.size()); }
    int waiting();

    // All replies so far; those still waiting count with the time they have
    // waited until `nowNs`, so the figures are lower bounds when any wait.
    Summary summary(qint64 nowNs);

private:
    struct Pending {
        qint64 end;
        qint64 sentNs;
    };
    void takeIncoming();

    std::mutex m_mutex;
    std::vector<Pending> m_incoming;
    std::deque<Pending> m_pending;
    std::vector<double> m_latenciesMs;
    qint64 m_paintedUpTo = -1;
    qint64 m_framePaintedUpTo = -1;
};
