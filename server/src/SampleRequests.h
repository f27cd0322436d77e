#pragma once

#include <random>
#include <string>

#include "RequestStore.h"

// Realistic requests for the demo: Arabic pupils' names, classes such as "3 متوسط 2", requesters,
// dates, notes.
class TSampleRequests {
public:
    explicit TSampleRequests(unsigned ASeed = std::random_device{}()) : FRandom(ASeed) {}

    // A pending request made at ARequestDate.
    TStoredRequest Next(const std::string& ARequestDate);
    // ACount requests spread over the last weeks, about a third of them completed.
    std::vector<TStoredRequest> History(int ACount);

private:
    template <typename List>
    const char* Pick(const List& AList) {
        return AList[std::uniform_int_distribution<std::size_t>(0, std::size(AList) - 1)(FRandom)];
    }
    int Between(int ALow, int AHigh) { return std::uniform_int_distribution(ALow, AHigh)(FRandom); }

    std::mt19937 FRandom;
};

// Local time as the server writes dates: "2026-12-09 10:15:00".
std::string NowText();
