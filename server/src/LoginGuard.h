#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <string>

// Slows password guessing down per client address: after FreeFailures wrong passwords in a row,
// that address may not try again for a second, then for twice as long after every further
// failure, up to MaxBlock. A right password clears the address's record. Other addresses are not
// touched. At most MaxAddresses are remembered, the oldest forgotten first.
class TLoginGuard {
public:
    using TClock = std::chrono::steady_clock;

    static constexpr int FreeFailures = 5;
    static constexpr std::chrono::seconds MaxBlock{300};
    static constexpr std::size_t MaxAddresses = 10000;

    // Zero when AAddress may try now; otherwise how long it still has to wait.
    TClock::duration WaitFor(const std::string& AAddress, TClock::time_point ANow);
    void Failed(const std::string& AAddress, TClock::time_point ANow);
    void Succeeded(const std::string& AAddress);

private:
    struct TRecord {
        int Failures = 0;
        TClock::time_point BlockedUntil{};
    };
    std::mutex FMutex;
    std::map<std::string, TRecord> FRecords;
    std::deque<std::string> FOrder;  // oldest first
};
