#include "RequestStore.h"

#include <stdexcept>

#include "Utf8.h"

namespace {

constexpr const char* Schema = R"(
CREATE TABLE IF NOT EXISTS requests (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    student_id     TEXT NOT NULL DEFAULT '',
    student_name   TEXT NOT NULL,
    class_name     TEXT NOT NULL DEFAULT '',
    birth_date     TEXT NOT NULL DEFAULT '',
    request_date   TEXT NOT NULL DEFAULT '',
    requester      TEXT NOT NULL DEFAULT '',
    status         TEXT NOT NULL DEFAULT 'pending' CHECK (status IN ('pending', 'completed')),
    completed_date TEXT,
    completed_by   TEXT,
    notes          TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS requests_status ON requests (status, id);
)";

constexpr const char* Columns =
    "id, student_id, student_name, class_name, birth_date, request_date, requester, status, "
    "completed_date, completed_by, notes";

std::optional<std::string> OptionalText(const TSqliteStatement& AStatement, int AColumn) {
    if (AStatement.IsNull(AColumn)) return std::nullopt;
    return AStatement.Text(AColumn);
}

TStoredRequest ReadRow(const TSqliteStatement& AStatement) {
    TStoredRequest r;
    r.Id = AStatement.Int(0);
    r.StudentId = AStatement.Text(1);
    r.StudentName = AStatement.Text(2);
    r.ClassName = AStatement.Text(3);
    r.BirthDate = AStatement.Text(4);
    r.RequestDate = AStatement.Text(5);
    r.Requester = AStatement.Text(6);
    r.Status = AStatement.Text(7);
    r.CompletedDate = OptionalText(AStatement, 8);
    r.CompletedBy = OptionalText(AStatement, 9);
    r.Notes = AStatement.Text(10);
    return r;
}

// Every text the store keeps is well-formed UTF-8; a batch with one bad row stores nothing.
void RequireUtf8(const std::string& AText) {
    if (!IsValidUtf8(AText)) throw std::invalid_argument("a text is not valid UTF-8");
}

}  // namespace

TRequestStore::TRequestStore(const std::string& APath) : FDb(APath) {
    FDb.Exec("PRAGMA journal_mode = WAL");
    FDb.Exec("PRAGMA synchronous = NORMAL");
    FDb.Exec(Schema);
}

TRequestCounts TRequestStore::Counts(std::int64_t ALastId) {
    std::lock_guard lock(FMutex);
    auto q = FDb.Prepare(
        "SELECT COALESCE(SUM(status = 'pending'), 0), COALESCE(SUM(status = 'completed'), 0), "
        "COUNT(*), COALESCE(MAX(id), 0), COALESCE(SUM(id > ?1), 0) FROM requests");
    q.Bind(1, ALastId);
    q.Step();
    return {q.Int(0), q.Int(1), q.Int(2), q.Int(3), q.Int(4)};
}

std::vector<TStoredRequest> TRequestStore::List(const std::optional<std::string>& AStatus) {
    std::lock_guard lock(FMutex);
    std::string sql = std::string("SELECT ") + Columns + " FROM requests";
    if (AStatus) sql += " WHERE status = ?1";
    sql += " ORDER BY id DESC";
    auto q = FDb.Prepare(sql);
    if (AStatus) q.Bind(1, std::string_view(*AStatus));
    std::vector<TStoredRequest> rows;
    while (q.Step()) rows.push_back(ReadRow(q));
    return rows;
}

bool TRequestStore::SetStatus(std::int64_t AId, const std::string& AStatus,
                              const std::string& ACompletedBy, const std::string& ANow) {
    std::lock_guard lock(FMutex);
    RequireUtf8(ACompletedBy);
    const bool completed = AStatus == "completed";
    auto q = FDb.Prepare(
        "UPDATE requests SET status = ?2, completed_date = ?3, completed_by = ?4 WHERE id = ?1");
    q.Bind(1, AId).Bind(2, std::string_view(AStatus));
    // Back to pending clears who completed it and when.
    q.Bind(3, completed ? std::optional(ANow) : std::nullopt);
    q.Bind(4, completed ? std::optional(ACompletedBy) : std::nullopt);
    q.Run();
    return FDb.Changes() > 0;
}

bool TRequestStore::Delete(std::int64_t AId) {
    std::lock_guard lock(FMutex);
    auto q = FDb.Prepare("DELETE FROM requests WHERE id = ?1");
    q.Bind(1, AId).Run();
    return FDb.Changes() > 0;
}

std::int64_t TRequestStore::Insert(const TStoredRequest& ARequest) {
    for (const std::string* text :
         {&ARequest.StudentId, &ARequest.StudentName, &ARequest.ClassName, &ARequest.BirthDate,
          &ARequest.RequestDate, &ARequest.Requester, &ARequest.Status, &ARequest.Notes})
        RequireUtf8(*text);
    if (ARequest.CompletedDate) RequireUtf8(*ARequest.CompletedDate);
    if (ARequest.CompletedBy) RequireUtf8(*ARequest.CompletedBy);
    auto q = FDb.Prepare(
        "INSERT INTO requests (student_id, student_name, class_name, birth_date, request_date, "
        "requester, status, completed_date, completed_by, notes) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    q.Bind(1, std::string_view(ARequest.StudentId))
        .Bind(2, std::string_view(ARequest.StudentName))
        .Bind(3, std::string_view(ARequest.ClassName))
        .Bind(4, std::string_view(ARequest.BirthDate))
        .Bind(5, std::string_view(ARequest.RequestDate))
        .Bind(6, std::string_view(ARequest.Requester))
        .Bind(7, std::string_view(ARequest.Status))
        .Bind(8, ARequest.CompletedDate)
        .Bind(9, ARequest.CompletedBy)
        .Bind(10, std::string_view(ARequest.Notes));
    q.Run();
    return FDb.LastInsertId();
}

std::int64_t TRequestStore::Create(const TStoredRequest& ARequest) {
    std::lock_guard lock(FMutex);
    return Insert(ARequest);
}

void TRequestStore::CreateMany(const std::vector<TStoredRequest>& ARequests) {
    std::lock_guard lock(FMutex);
    TSqliteTransaction transaction(FDb);
    for (const auto& request : ARequests) Insert(request);
    transaction.Commit();
}

bool TRequestStore::IsEmpty() {
    std::lock_guard lock(FMutex);
    auto q = FDb.Prepare("SELECT NOT EXISTS (SELECT 1 FROM requests)");
    q.Step();
    return q.Int(0) != 0;
}
