#pragma once
// A serial platform in memory, for what a pseudo-terminal cannot show: modem lines,
// line events, failing steps of an open, and the calls an open makes.

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SerialPlatform.h"

// One device: set up by the test, and a record of what the component did with it.
struct FakeDevice {
    std::mutex lock;  // guards every field: the component's threads and the test share them
    std::condition_variable changed;

    int openError = 0, stateError = 0;  // errno of a failing Open or SetState
    bool failSetup = false, failMask = false, hasModemLines = true;
    uint32_t modemStatus = 0;
    std::string incoming;
    int overstated = 0;  // bytes the receive count claims beyond what a read delivers
    bool countsLosses = false;
    uint32_t lost = 0;  // the driver's loss counter, when it counts
    std::deque<uint32_t> events;

    bool isOpen = false;
    int opens = 0, waiters = 0;
    uint32_t maskGeneration = 0;
    int32_t setupReceive = 0, setupTransmit = 0;
    std::vector<TSerialDcb> states;
    std::vector<TSerialTimeouts> timeouts;
    std::vector<uint32_t> masks, escapes, purges;
    std::vector<bool> completeFlags;  // of every Read and Write
    std::string written;

    template <typename Fn>
    void Change(Fn fn) {
        {
            std::lock_guard guard(lock);
            fn();
        }
        changed.notify_all();
    }
    void PushEvents(uint32_t word) {
        Change([&] { events.push_back(word); });
    }
    void SetModemStatus(uint32_t status) {
        Change([&] { modemStatus = status; });
    }
    bool WaitUntil(const std::function<bool()>& pred) {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(2), pred);
    }
    // A thread waits for events and has none left to report.
    bool WaitForIdleWaiter() {
        return WaitUntil([this] { return waiters > 0 && events.empty(); });
    }
};

class FakeSerialHandle final : public ISerialHandle {
    template <typename Fn>
    auto Locked(Fn fn) {
        std::lock_guard guard(d_->lock);
        return fn();
    }

public:
    explicit FakeSerialHandle(std::shared_ptr<FakeDevice> device) : d_(std::move(device)) {}
    ~FakeSerialHandle() override { Close(); }

    bool SetupBuffers(int32_t receiveSize, int32_t transmitSize) override {
        return Locked([&] {
            d_->setupReceive = receiveSize;
            d_->setupTransmit = transmitSize;
            return !d_->failSetup;
        });
    }
    int SetState(const TSerialDcb& dcb) override {
        return Locked([&] {
            d_->states.push_back(dcb);
            return d_->stateError;
        });
    }
    void SetTimeouts(const TSerialTimeouts& timeouts) override {
        Locked([&] { d_->timeouts.push_back(timeouts); });
    }
    bool SetMask(uint32_t mask) override {
        d_->Change([&] {
            d_->masks.push_back(mask);
            mask_ = mask;
            ++d_->maskGeneration;
        });
        return !d_->failMask;
    }
    bool WaitEvent(uint32_t& events) override {
        std::unique_lock guard(d_->lock);
        const uint32_t generation = d_->maskGeneration;
        const auto interrupted = [&] { return closed_ || mask_ == 0 || generation != d_->maskGeneration; };
        ++d_->waiters;
        d_->changed.notify_all();
        d_->changed.wait(guard, [&] { return interrupted() || !d_->events.empty(); });
        --d_->waiters;
        if (interrupted()) return false;
        events = d_->events.front() & mask_;
        d_->events.pop_front();
        d_->changed.notify_all();
        return true;
    }
    uint32_t Read(void* buffer, uint32_t count, bool complete) override {
        return Locked([&] {
            d_->completeFlags.push_back(complete);
            const auto n = static_cast<uint32_t>(std::min<size_t>(count, d_->incoming.size()));
            std::memcpy(buffer, d_->incoming.data(), n);
            d_->incoming.erase(0, n);
            return n;
        });
    }
    uint32_t Write(const void* data, uint32_t count, bool complete) override {
        return Locked([&] {
            d_->completeFlags.push_back(complete);
            d_->written.append(static_cast<const char*>(data), count);
            return count;
        });
    }
    int WriteError() const override { return 0; }
    bool QueueCounts(int& inQueue, int& outQueue) override {
        return Locked([&] {
            inQueue = static_cast<int>(d_->incoming.size()) + d_->overstated;
            outQueue = 0;
            return true;
        });
    }
    bool Purge(uint32_t flags) override {
        return Locked([&] {
            d_->purges.push_back(flags);
            return true;
        });
    }
    bool ModemStatus(uint32_t& status) override {
        return Locked([&] {
            status = d_->modemStatus;
            return d_->hasModemLines;
        });
    }
    bool EscapeFunction(uint32_t function) override {
        return Locked([&] {
            d_->escapes.push_back(function);
            return d_->hasModemLines;
        });
    }
    bool HungUp() const override { return false; }
    bool ReceiveLosses(uint32_t& lost) override {
        return Locked([&] {
            lost = d_->lost;
            return d_->countsLosses;
        });
    }
    void Close() override {
        d_->Change([&] {
            if (!closed_) d_->isOpen = false;
            closed_ = true;
        });
    }

private:
    std::shared_ptr<FakeDevice> d_;
    uint32_t mask_ = 0;    // guarded by d_->lock
    bool closed_ = false;  // guarded by d_->lock
};

// Port n is the device "/fake/com<n>"; a device exists once a test has asked for it.
class FakeSerialPlatform final : public ISerialPlatform {
public:
    explicit FakeSerialPlatform(bool completesIo = true) : completesIo_(completesIo) {}

    FakeDevice& Port(int n) { return Device(PortDevicePath(n)); }
    FakeDevice& Device(const std::string& path) {
        auto& device = devices_[path];
        if (!device) device = std::make_shared<FakeDevice>();
        return *device;
    }

    std::unique_ptr<ISerialHandle> Open(const std::string& path, int& errorNumber,
                                        const TOpenAbandoned& /*abandoned*/) override {
        const auto found = devices_.find(path);
        errorNumber = found == devices_.end() ? ENOENT : found->second->openError;
        if (errorNumber != 0) return nullptr;
        found->second->Change([&] {
            found->second->isOpen = true;
            ++found->second->opens;
        });
        return std::make_unique<FakeSerialHandle>(found->second);
    }
    bool CompletesIo() const override { return completesIo_; }
    std::string PortDevicePath(int n) const override { return "/fake/com" + std::to_string(n); }
    bool PortPresent(int n) const override { return devices_.count(PortDevicePath(n)) != 0; }

private:
    bool completesIo_;
    std::map<std::string, std::shared_ptr<FakeDevice>> devices_;
};
