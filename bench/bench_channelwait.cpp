// Key-ups on a busy channel, with the wait for a clear channel and without it ("ocupado=ninguno"),
// over trials of conversations of random length and gaps on a simulated clock: the channel's
// history and the wait's decisions are the station's own, fed the changes as the receiver's audio
// source hears them (a voice seen after the detector's attack, its end after the hang, pauses
// shorter than the hang bridged, a sound starting once its first block is heard) and looking
// again when they ask to; a key-up counts as on a busy channel when someone is really talking
// then. Prints figures; asserts nothing.
//   bench_channelwait [trials] [seed]
#include "busydetector.h"
#include "channelwait.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {
// The audio source hears in blocks of 10 ms: a sound is known to have begun once its first block is.
constexpr int BlockMs = 10;

struct Span
{
    qint64 from, to; // busy from..to, ms
};

// Overs of 2 to 40 s with gaps of 0.3 to 25 s (short ones: the pause before a reply), for 20 min.
std::vector<Span> conversation(QRandomGenerator &random)
{
    std::vector<Span> spans;
    qint64 t = random.bounded(30000);
    while (t < 20 * 60 * 1000) {
        const qint64 length = 2000 + random.bounded(38000);
        spans.push_back({t, t + length});
        t += length + 300 + random.bounded(24700);
    }
    return spans;
}

// What the audio source reports of the spans: each seen AttackMs after it starts and clear HangMs
// after it ends, so that gaps shorter than the hang are not heard at all.
std::vector<Span> asHeard(const std::vector<Span> &spans)
{
    std::vector<Span> heard;
    for (const Span &s : spans) {
        const Span h{s.from + BusyDetector::AttackMs, s.to + BusyDetector::HangMs};
        if (!heard.empty() && h.from <= heard.back().to)
            heard.back().to = qMax(heard.back().to, h.to);
        else
            heard.push_back(h);
    }
    return heard;
}

bool busyAt(const std::vector<Span> &spans, qint64 t)
{
    return std::any_of(spans.cbegin(), spans.cend(), [t](const Span &s) { return t >= s.from && t < s.to; });
}

struct Outcome
{
    bool keyed = false;
    qint64 keyAt = 0;
};

// Whether at t someone has begun to talk whom the source hears as a sound starting, not yet busy.
bool startingAt(const std::vector<Span> &talk, qint64 t)
{
    return std::any_of(talk.cbegin(), talk.cend(), [t](const Span &s) {
        return t >= s.from + BlockMs && t < s.from + BusyDetector::AttackMs;
    });
}

// The station asks to send at sendAt; the source is heard from 0 on. spans: as heard; talk: as
// they really are.
Outcome waitFor(const std::vector<Span> &spans, const std::vector<Span> &talk, qint64 sendAt, QRandomGenerator &random)
{
    ChannelHistory history;
    history.setIgnoreMs(500);
    history.watchFrom(0, false);
    for (const Span &s : spans) {
        if (s.from >= sendAt)
            break;
        history.heard(true, s.from);
        if (s.to < sendAt)
            history.heard(false, s.to);
    }
    ChannelWaitRule rule(2000, 120000, [&random] { return int(random.bounded(ChannelWaitRule::MaxHoldOffMs + 1)); });
    rule.begin(sendAt);
    qint64 now = sendAt;
    for (;;) {
        const ChannelWaitRule::Step step = rule.look(history, now, startingAt(talk, now));
        if (step.kind == ChannelWaitRule::Step::Key)
            return {true, now};
        if (step.kind == ChannelWaitRule::Step::GiveUp)
            return {false, now};
        // The next look: when asked, or at the next change heard, whichever comes first.
        qint64 next = now + step.inMs;
        for (const Span &s : spans) {
            for (const qint64 edge : {s.from, s.to}) {
                if (edge > now && edge < next)
                    next = edge;
            }
        }
        now = next;
        history.heard(busyAt(spans, now), now);
    }
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int trials = args.size() > 1 ? args.at(1).toInt() : 200;
    const quint32 seed = args.size() > 2 ? args.at(2).toUInt() : 24;
    QRandomGenerator random(seed);
    int busyWithout = 0, busyWith = 0, unseen = 0, gaveUp = 0, waited = 0;
    qint64 waitedTotal = 0, longest = 0;
    for (int i = 0; i < trials; ++i) {
        const std::vector<Span> spans = conversation(random);
        const qint64 sendAt = 60000 + random.bounded(15 * 60 * 1000);
        busyWithout += busyAt(spans, sendAt) ? 1 : 0;
        const Outcome outcome = waitFor(asHeard(spans), spans, sendAt, random);
        if (!outcome.keyed) {
            ++gaveUp;
            continue;
        }
        if (busyAt(spans, outcome.keyAt)) {
            ++busyWith;
            // Someone who began less than a block before: heard by no one yet.
            unseen += busyAt(spans, outcome.keyAt - BlockMs) ? 0 : 1;
        }
        if (outcome.keyAt > sendAt) {
            ++waited;
            waitedTotal += outcome.keyAt - sendAt;
            longest = qMax(longest, outcome.keyAt - sendAt);
        }
    }
    QTextStream out(stdout);
    out << "trials " << trials << " (seed " << seed << "), libre 2000 ms, espera 120 s, hold-off 0-500 ms, a sound starting heard "
        << BlockMs << " ms late, a voice " << BusyDetector::AttackMs << " ms late and cleared " << BusyDetector::HangMs << " ms late\n";
    out << "key-ups while busy, ocupado=ninguno: " << busyWithout << "\n";
    out << "key-ups while busy, waiting:         " << busyWith << " (" << unseen << " on someone who began less than "
        << BlockMs << " ms before: not yet heard)\n";
    out << "waited " << waited << " times, mean " << (waited ? waitedTotal / waited : 0) << " ms, longest "
        << longest << " ms; gave up " << gaveUp << " times\n";
    return 0;
}
