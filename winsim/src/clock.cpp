// The virtual clock: one queue of events (timers, scheduled test actions, device completions)
// ordered by time, then by the order of scheduling. Nothing ever sleeps.
#include "internal.h"
#include "state.h"

#include <map>
#include <utility>

namespace winsim {

namespace {
struct EventKey {
    Millis time;
    uint64_t seq;
    bool operator<(const EventKey& o) const { return time != o.time ? time < o.time : seq < o.seq; }
};
struct Clock {
    Millis now = 0;
    uint64_t nextSeq = 1;
    std::map<EventKey, std::function<void()>> events;
    std::map<uint64_t, EventKey> byId;
};
Clock& TheClock() {
    static Clock clock;
    return clock;
}
void ResetClock() {
    TheClock() = Clock();
}
const bool registered = (OnReset(&ResetClock), true);
} // namespace

Millis Now() {
    return TheClock().now;
}

uint64_t ScheduleAt(Millis t, std::function<void()> fn) {
    Clock& c = TheClock();
    if (t < c.now)
        t = c.now;
    uint64_t id = c.nextSeq++;
    EventKey key{t, id};
    c.events.emplace(key, std::move(fn));
    c.byId.emplace(id, key);
    return id;
}

bool CancelEvent(uint64_t id) {
    Clock& c = TheClock();
    auto it = c.byId.find(id);
    if (it == c.byId.end())
        return false;
    c.events.erase(it->second);
    c.byId.erase(it);
    return true;
}

bool NextEventTime(Millis* t) {
    Clock& c = TheClock();
    if (c.events.empty())
        return false;
    *t = c.events.begin()->first.time;
    return true;
}

bool RunNextEvent(Millis horizon) {
    Clock& c = TheClock();
    if (c.events.empty())
        return false;
    auto it = c.events.begin();
    if (it->first.time > horizon)
        return false;
    std::function<void()> fn = std::move(it->second);
    c.now = it->first.time;
    c.byId.erase(it->first.seq);
    c.events.erase(it);
    fn();
    return true;
}

void AdvanceClockTo(Millis t) {
    if (t > TheClock().now)
        TheClock().now = t;
}

} // namespace winsim
