#include "LoginGuard.h"

#include <algorithm>

TLoginGuard::TClock::duration TLoginGuard::WaitFor(const std::string& AAddress,
                                                   TClock::time_point ANow) {
    const std::lock_guard lock(FMutex);
    const auto it = FRecords.find(AAddress);
    if (it == FRecords.end() || it->second.BlockedUntil <= ANow) return {};
    return it->second.BlockedUntil - ANow;
}

void TLoginGuard::Failed(const std::string& AAddress, TClock::time_point ANow) {
    const std::lock_guard lock(FMutex);
    auto [it, added] = FRecords.try_emplace(AAddress);
    if (added) {
        FOrder.push_back(AAddress);
        if (FOrder.size() > MaxAddresses) {
            FRecords.erase(FOrder.front());
            FOrder.pop_front();
        }
    }
    TRecord& record = it->second;
    if (++record.Failures < FreeFailures) return;
    const int doublings = std::min(record.Failures - FreeFailures, 9);  // 2^9 s > MaxBlock
    const auto block = std::min<TClock::duration>(std::chrono::seconds(1 << doublings), MaxBlock);
    record.BlockedUntil = ANow + block;
}

// The record is cleared rather than erased, so that the order of addresses stays true to the
// records it ages out.
void TLoginGuard::Succeeded(const std::string& AAddress) {
    const std::lock_guard lock(FMutex);
    if (const auto it = FRecords.find(AAddress); it != FRecords.end()) it->second = {};
}
