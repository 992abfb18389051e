#pragma once
// A worker thread with a bounded, optionally prioritised queue and one callback.
//
// Producers in any thread Post items; the pump thread wakes every Interval ms and
// hands the queued items, oldest first (or by priority), to the callback, either in
// its own thread or, when Synchronised, in the main thread through a dispatcher
// (the pump thread then waits until the callback has returned).
//
// Ownership: Post moves the item into the queue only when it is accepted; a
// refused item stays with the caller. A handed-out item belongs to the callback.
// Items still queued at destruction are destroyed with the queue, so Item's own
// destructor (a std::unique_ptr's deleter, say) is the deleter the owner gives.
//
// Bursts: after the pump found its queue empty, its next wake-up hands out at most
// BurstSize items without sleeping. Once that allowance is used up it is not armed
// again until the queue has been found empty; every later wake-up meanwhile hands
// out until the queue is empty. Delivery is always in queue order, at least one
// item per wake-up (under a spread: per wake-up that hands out).
//
// Weights: an item may stand for several units of the capacity (a block of log
// lines counts as its lines). Such an Item has `size_t Weight() const` and
// `Item TakeFirst(size_t units)`, which splits off its first units as an item of
// their own. MaxCount, ResumeCount, Blocked and the burst allowance all count
// units, and a weighted post is accepted unit by unit exactly as that many single
// posts would be: when only part fits, the first part is queued and the rest stays
// with the caller. Every other Item weighs 1.
//
// Pressure: a post that fills the queue to half its capacity, or is refused, wakes
// the pump before its interval is over, so a fast producer is not refused merely
// because the consumer was asleep.
//
// Back-pressure: a producer that must not drop waits in WaitForRoom until a post
// would be accepted again (the queue below MaxCount and, after a refusal, drained
// to ResumeCount), instead of trying again and again.
//
// Idle: a pump that has found its queue empty sleeps until the next post instead
// of waking every interval to find nothing; that post then waits out one interval
// as any other would, and its wake-up hands out a new burst.
//
// Prompt: a pump set prompt hands out the post that wakes it from idle at once, without
// waiting out an interval first (a consumer that waits for each item, not for a batch).
// Once items keep coming, the intervals pace the hand-outs as before.
//
// Spread: a pump given a spread of N hands out about queued / N units per wake-up,
// so that items posted together reach the callback evenly over about N wake-ups
// instead of back to back, and a backlog drains at a rate that grows with it: with
// q units queued, a wake-up hands out ceil(q / N) units (at least one item), and
// when q < N it does so only if N / q wake-ups have passed since the last hand-out
// (the first hand-out after the queue was found empty goes at once). The burst
// allowance still applies. Without a spread (0, the default) every wake-up hands
// out as the burst rules say.
//
// Batches: a pump built with a BatchCallback hands out, at each wake-up, everything
// queued at that moment, in queue order, in one call (when Synchronised, one call
// into the main thread); BurstSize does not apply. Taking the batch out of the
// queue empties it, as taking out the last of single items would: MaxCount,
// ResumeCount and Blocked count only what is queued, not the batch in hand, so a
// producer can fill the queue again while the consumer works on the batch.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <concepts>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "ZULMainThread.h"
#include "ZULThread.h"

// An item that can split off its first units as an item of their own.
template <class Item>
concept ZULSplittablePumpItem = requires(Item& item, size_t units) {
    item.TakeFirst(units);
};

template <class Item>
class TZULMsgPump {
public:
    using Callback = std::function<void(Item)>;
    // Gets the items of one hand-out, oldest first; it may move them out of the
    // vector, and what it leaves there is destroyed after it has returned.
    using BatchCallback = std::function<void(std::vector<Item>&)>;
    static constexpr signed char MaxPriority = 6;

    TZULMsgPump(bool createSuspended, int intervalMs, bool prioritised, Callback callback, bool synchronised,
                int maxCount, int resumeCount, IZULMainThreadDispatcher* dispatcher = nullptr)
        : interval_(intervalMs),
          prioritised_(prioritised),
          callback_(std::move(callback)),
          synchronised_(synchronised),
          dispatcher_(dispatcher),
          maxUnits_(static_cast<size_t>(std::max(maxCount, 0))),
          resumeUnits_(static_cast<size_t>(std::max(resumeCount, 0))) {
        if (!createSuspended) Resume();
    }

    TZULMsgPump(bool createSuspended, int intervalMs, bool prioritised, BatchCallback callback,
                bool synchronised, int maxCount, int resumeCount,
                IZULMainThreadDispatcher* dispatcher = nullptr)
        : TZULMsgPump(true, intervalMs, prioritised, Callback(), synchronised, maxCount, resumeCount,
                      dispatcher) {
        batchCallback_ = std::move(callback);
        if (!createSuspended) Resume();
    }

    ~TZULMsgPump() {
        Terminate();
        WaitFor();
    }

    TZULMsgPump(const TZULMsgPump&) = delete;
    TZULMsgPump& operator=(const TZULMsgPump&) = delete;

    // Starts a pump created suspended; does nothing when it runs already.
    void Resume() {
        if (!started_.exchange(true)) thread_.Start([this] { Execute(); });
    }

    // Queues item (moving it out of the caller's variable) and returns true, or
    // refuses it and returns false, leaving it with the caller. Priorities above 6
    // count as 6. A weighted item of which only a part fits is refused whole.
    bool Post(Item& item, signed char priority) {
        bool accepted = false;
        bool wake = false;
        {
            std::lock_guard guard(lock_);
            const size_t weight = WeightOf(item);
            if (RoomLocked() < std::max<size_t>(weight, 1)) {
                RefuseLocked();
                wake = true;
            } else {
                wake = EnqueueLocked(std::move(item), priority, weight);
                accepted = true;
            }
        }
        WakeIf(wake);
        return accepted;
    }

    // Posts a weighted item unit by unit and returns how many units were accepted:
    // all of them (item has moved into the queue), none (item stays with the
    // caller), or the first part (queued; item keeps the rest).
    size_t PostWeighted(Item& item, signed char priority) requires ZULSplittablePumpItem<Item> {
        size_t accepted = 0;
        bool wake = false;
        {
            std::lock_guard guard(lock_);
            const size_t room = RoomLocked();
            const size_t weight = WeightOf(item);
            if (room == 0) {
                RefuseLocked();
                wake = true;
            } else if (weight <= room) {
                wake = EnqueueLocked(std::move(item), priority, weight);
                accepted = weight;
            } else {
                EnqueueLocked(item.TakeFirst(room), priority, room);
                RefuseLocked();  // for the first unit that did not fit
                wake = true;
                accepted = room;
            }
        }
        WakeIf(wake);
        return accepted;
    }

    // Blocks until a post of one unit would be accepted, at most limit, or until
    // Terminate; returns whether it would. Any thread but the pump's own.
    bool WaitForRoom(std::chrono::nanoseconds limit) {
        std::unique_lock guard(lock_);
        ++roomWaiters_;
        const bool room = room_.wait_for(guard, limit, [this] { return stopping_ || RoomLocked() > 0; });
        --roomWaiters_;
        return room && !stopping_;
    }

    // Waits 10 ms, then tells whether no item is queued and none is being handed out.
    bool IsEmpty() {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::lock_guard guard(lock_);
        return queue_.empty() && !inHand_;
    }

    // The wake-ups so far, a spread's longer sleep counting as the wake-ups it spares;
    // read in a callback, the number of the wake-up that handed its item out. For
    // tests, which tell bursts apart by it.
    uint64_t WakeUps() const { return wakeUps_.load(); }

    // Whether the pump has found its queue empty and sleeps until the next post.
    bool IsIdle() {
        std::lock_guard guard(lock_);
        return idle_;
    }

    void SetBurstSize(int n) {
        std::lock_guard guard(lock_);
        burstSize_ = n;
    }

    void SetSpread(int wakeUps) {
        std::lock_guard guard(lock_);
        spread_ = static_cast<size_t>(std::max(wakeUps, 0));
    }

    void SetPrompt(bool prompt) {
        std::lock_guard guard(lock_);
        prompt_ = prompt;
    }

    // One step above normal, where the system allows it; applied by the pump thread.
    void RaiseThreadPriority() { raisePriority_ = true; }

    // Asks the thread to end after the hand-out it is in; a synchronised call that
    // waits for the main thread is cancelled, so WaitFor never hangs on it.
    void Terminate() {
        {
            std::lock_guard guard(lock_);
            stopping_ = true;
        }
        pressure_.notify_all();
        room_.notify_all();
        thread_.Terminate();
        syncCall_.Cancel();
    }
    void WaitFor() { thread_.WaitFor(); }

private:
    struct Entry {
        Item item;
        signed char priority;
        size_t weight;
    };
    // Items taken out per lock by a pump whose callback runs in its own thread.
    static constexpr size_t HandOutBatch = 64;

    static size_t WeightOf(const Item& item) {
        if constexpr (requires {
                          { item.Weight() } -> std::convertible_to<size_t>;
                      })
            return item.Weight();
        else
            return 1;
    }

    // Units that may still be queued before the next one is refused.
    size_t RoomLocked() {
        const size_t queued = QueuedLocked();
        if (queued >= maxUnits_) return 0;
        // Items handed out since the refusal may have brought the count down to the
        // resume mark; the hand-out of each would have cleared Blocked at that moment.
        if (blocked_ && queued <= resumeUnits_) blocked_ = false;
        return blocked_ ? 0 : maxUnits_ - queued;
    }

    // Refuses the post at hand; the caller then wakes the pump, as a full queue should
    // not wait out the interval.
    void RefuseLocked() { blocked_ = true; }

    // Returns whether the pump should be woken now.
    bool EnqueueLocked(Item&& item, signed char priority, size_t weight) {
        priority = std::min(priority, MaxPriority);
        queue_.insert(PlaceFor(priority), Entry{std::move(item), priority, weight});
        queuedUnits_ += weight;
        return idle_ || UnderPressureLocked();
    }

    // Wakes the pump after the lock is let go: woken under it, the pump thread would
    // only run into the lock and sleep again, at the price of two more switches.
    void WakeIf(bool wake) {
        if (wake) pressure_.notify_one();
    }

    size_t QueuedLocked() const { return queuedUnits_ + batchRemaining_.load(); }

    typename std::deque<Entry>::iterator PlaceFor(signed char priority) {
        if (queue_.empty() || !prioritised_) return queue_.end();
        if (priority == MaxPriority) return queue_.begin();
        // The head keeps its place; equal priorities keep their posting order.
        return std::find_if(std::next(queue_.begin()), queue_.end(),
                            [priority](const Entry& e) { return e.priority < priority; });
    }

    void Execute() {
        while (!thread_.Terminated()) {
            if (raisePriority_.exchange(false)) ZULThread::RaiseCurrentThreadPriority();
            const uint64_t intervals = SleepInterval();
            if (intervals == 0) break;
            RunCycle(intervals);
        }
    }

    // Sleeps until there is something to hand out, then Interval ms (a spread queue
    // that waits for its turn: the intervals until then), or less when the queue is
    // under pressure; a prompt pump woken from idle not at all. Returns the intervals
    // slept, 0 when terminated.
    uint64_t SleepInterval() {
        std::unique_lock guard(lock_);
        if (queue_.empty()) {
            // What the hand-out that finds the queue empty would have done at this wake-up.
            FoundEmptyLocked();
            idle_ = true;
            pressure_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
            idle_ = false;
            if (stopping_) return 0;
            if (prompt_) return 1;
        }
        const uint64_t intervals = SpreadIntervalsToWaitLocked();
        const bool early = pressure_.wait_for(guard, std::chrono::milliseconds(interval_) * intervals,
                                              [this] { return stopping_ || UnderPressureLocked(); });
        if (stopping_) return 0;
        return early ? 1 : intervals;
    }

    // 1, or, while a short spread queue waits for its turn, the intervals until then,
    // so that the pump does not wake only to find that it is not yet time.
    uint64_t SpreadIntervalsToWaitLocked() const {
        const uint64_t due = SpreadDueLocked();
        const uint64_t now = wakeUps_.load();
        return due > now + 1 ? due - now : 1;
    }

    // The wake-up at which a spread pump may next hand out: N / queued wake-ups after
    // the last hand-out while fewer than N units are queued; otherwise 0 (at once).
    uint64_t SpreadDueLocked() const {
        const size_t queued = QueuedLocked();
        if (spread_ == 0 || !spreadPaced_ || queued == 0 || queued >= spread_) return 0;
        return lastSpreadHandOut_ + spread_ / queued;
    }

    // What finding the queue empty ends: a refusal, the burst, the spread's pacing.
    void FoundEmptyLocked() {
        blocked_ = false;
        allowance_ = 0;
        burstDue_ = true;
        spreadPaced_ = false;
    }

    bool UnderPressureLocked() const { return blocked_ || QueuedLocked() * 2 >= maxUnits_; }

    void RunCycle(uint64_t intervals) {
        wakeUps_ += intervals;
        if (batchCallback_) {
            HandOutAll();
            return;
        }
        size_t cycleUnits = CycleUnits();
        if (cycleUnits == 0) return;  // not yet this item's turn
        while (!thread_.Terminated()) {
            const size_t handed = HandOut(cycleUnits);
            if (handed == 0) return;  // queue found empty
            cycleUnits -= std::min(cycleUnits, handed);
            if (cycleUnits == 0) return;  // this wake-up's share of a spread backlog
            std::lock_guard guard(lock_);
            if (allowance_ == 0) return;  // burst used up
        }
    }

    // The units this wake-up may hand out: under a spread, a share of what is queued,
    // and none while a short queue waits for its turn.
    size_t CycleUnits() {
        std::lock_guard guard(lock_);
        if (spread_ == 0) return SIZE_MAX;
        const uint64_t wakeUp = wakeUps_.load();
        if (wakeUp < SpreadDueLocked()) return 0;
        spreadPaced_ = true;
        lastSpreadHandOut_ = wakeUp;
        return std::max<size_t>((QueuedLocked() + spread_ - 1) / spread_, 1);
    }

    // Takes items out under the lock and delivers them outside it. A pump whose
    // callback runs in its own thread takes up to HandOutBatch items per lock; until
    // each is handed to the callback its units still count as queued
    // (batchRemaining_), so MaxCount, ResumeCount and Blocked see exactly what the
    // callback has not had yet. An item that starts inside the burst allowance is
    // handed out whole, and so is the first item even when it weighs more than maxUnits.
    // Returns the units handed out, 0 when the queue was found empty.
    size_t HandOut(size_t maxUnits) {
        size_t handedUnits = 0;
        {
            std::lock_guard guard(lock_);
            if (queue_.empty()) {
                FoundEmptyLocked();
                return 0;
            }
            if (burstDue_) {
                allowance_ = burstSize_;
                burstDue_ = false;
            }
            const size_t maxItems = synchronised_ ? 1 : HandOutBatch;
            size_t units = 0;
            do {
                units += queue_.front().weight;
                handOut_.push_back(std::move(queue_.front()));
                queue_.pop_front();
            } while (!queue_.empty() && handOut_.size() < maxItems && units < maxUnits &&
                     (allowance_ <= 0 || units < static_cast<size_t>(allowance_)));
            if (queue_.empty()) queue_.shrink_to_fit();
            queuedUnits_ -= units;
            batchRemaining_.store(units);
            // Once used up the allowance only needs to stay "used up" (below zero) until the
            // queue is found empty; counting on would overflow under an endless stream.
            if (allowance_ > 0)
                allowance_ =
                    units >= static_cast<size_t>(allowance_) ? 0 : allowance_ - static_cast<int>(units);
            else
                allowance_ = -1;
            inHand_ = true;
            handedUnits = units;
        }
        for (Entry& entry : handOut_) {
            batchRemaining_.fetch_sub(entry.weight);
            if (thread_.Terminated()) continue;  // released unprocessed
            Deliver(std::move(entry.item));
        }
        handOut_.clear();
        bool waited = false;
        {
            std::lock_guard guard(lock_);
            inHand_ = false;
            waited = roomWaiters_ > 0;
        }
        if (waited) room_.notify_all();
        return handedUnits;
    }

    // Takes everything queued out under the lock and hands it to the batch callback
    // outside it, in one call.
    void HandOutAll() {
        bool waited = false;
        {
            std::lock_guard guard(lock_);
            if (queue_.empty()) {
                blocked_ = false;
                return;
            }
            for (Entry& entry : queue_) batch_.push_back(std::move(entry.item));
            queue_.clear();
            queue_.shrink_to_fit();
            queuedUnits_ = 0;
            inHand_ = true;
            waited = roomWaiters_ > 0;
        }
        // The queue has room again while the consumer works on the batch.
        if (waited) room_.notify_all();
        if (!thread_.Terminated()) {
            if (synchronised_ && dispatcher_)
                // When the call is cancelled, the items are released below, unprocessed.
                syncCall_.Run(*dispatcher_, [this] { batchCallback_(batch_); });
            else
                batchCallback_(batch_);
        }
        batch_.clear();
        std::lock_guard guard(lock_);
        inHand_ = false;
    }

    void Deliver(Item item) {
        if (!callback_) return;
        if (synchronised_ && dispatcher_) {
            // When the call is cancelled, item is released here, unprocessed.
            syncCall_.Run(*dispatcher_, [this, &item] { callback_(std::move(item)); });
        } else {
            callback_(std::move(item));
        }
    }

    const int interval_;
    const bool prioritised_;
    const Callback callback_;
    BatchCallback batchCallback_;  // set before the thread starts, then only read
    const bool synchronised_;
    IZULMainThreadDispatcher* const dispatcher_;
    const size_t maxUnits_;     // MaxCount
    const size_t resumeUnits_;  // ResumeCount

    std::mutex lock_;  // guards queue_, queuedUnits_, blocked_, burstSize_, prompt_, the spread_ fields,
                       // allowance_, burstDue_, inHand_, stopping_, idle_, roomWaiters_
    std::deque<Entry> queue_;
    size_t queuedUnits_ = 0;  // the weights of the items in queue_
    bool blocked_ = false;
    int burstSize_ = 1;
    bool prompt_ = false;
    size_t spread_ = 0;               // 0: no spread
    bool spreadPaced_ = false;        // a spread hand-out happened since the queue was found empty
    uint64_t lastSpreadHandOut_ = 0;  // the wake-up of that hand-out
    int allowance_ = 0;
    bool burstDue_ = true;
    bool inHand_ = false;
    bool stopping_ = false;
    bool idle_ = false;                      // the pump sleeps until the next post
    std::condition_variable pressure_;       // wakes the pump early or from idle; waits on lock_
    std::condition_variable room_;           // a hand-out made room for WaitForRoom; waits on lock_
    int roomWaiters_ = 0;                    // producers in WaitForRoom
    std::atomic<size_t> batchRemaining_{0};  // units taken out but not yet handed to the callback

    std::vector<Entry> handOut_;  // pump thread only
    std::vector<Item> batch_;     // pump thread, or the main thread while the pump thread waits for it

    std::atomic<uint64_t> wakeUps_{0};
    std::atomic<bool> started_{false};
    std::atomic<bool> raisePriority_{false};
    ZULSyncCall syncCall_;
    ZULThread thread_;  // last member: joined first on destruction
};
