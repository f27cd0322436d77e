#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Sqlite.h"

// One certificate request as the server stores it.
struct TStoredRequest {
    std::int64_t Id = 0;
    std::string StudentId;
    std::string StudentName;
    std::string ClassName;
    std::string BirthDate;
    std::string RequestDate;
    std::string Requester;
    std::string Status = "pending";
    std::optional<std::string> CompletedDate;
    std::optional<std::string> CompletedBy;
    std::string Notes;
};

struct TRequestCounts {
    std::int64_t Pending = 0;
    std::int64_t Completed = 0;
    std::int64_t Total = 0;
    std::int64_t MaxId = 0;
    std::int64_t NewCount = 0;  // requests with an id above the one asked about
};

// The durable store of requests: one SQLite file in WAL mode. Every change is one transaction;
// statements are always prepared with bound values. Safe to call from several threads.
class TRequestStore {
public:
    explicit TRequestStore(const std::string& APath);

    TRequestCounts Counts(std::int64_t ALastId);
    // Newest first; AStatus "pending" or "completed", or nothing for all.
    std::vector<TStoredRequest> List(const std::optional<std::string>& AStatus);
    // False when no request has that id.
    bool SetStatus(std::int64_t AId, const std::string& AStatus, const std::string& ACompletedBy,
                   const std::string& ANow);
    bool Delete(std::int64_t AId);
    // Stores ARequest as a new request (its Id is ignored) and returns the new id.
    std::int64_t Create(const TStoredRequest& ARequest);
    // Stores all of them in one transaction.
    void CreateMany(const std::vector<TStoredRequest>& ARequests);
    bool IsEmpty();

private:
    std::int64_t Insert(const TStoredRequest& ARequest);

    std::mutex FMutex;
    TSqliteDb FDb;
};
