#include "Sqlite.h"

TSqliteDb::TSqliteDb(const std::string& APath) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(
        APath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
        nullptr);
    FDb.reset(db);  // owned even when opening failed, as SQLite asks
    if (rc != SQLITE_OK) Fail(("cannot open " + APath).c_str());
    sqlite3_busy_timeout(db, 5000);
}

void TSqliteDb::Fail(const char* AWhat) const {
    throw ESqliteError(std::string(AWhat) + ": " +
                       (FDb ? sqlite3_errmsg(FDb.get()) : "out of memory"));
}

void TSqliteDb::Exec(const char* ASql) {
    if (sqlite3_exec(FDb.get(), ASql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(ASql);
}

TSqliteStatement TSqliteDb::Prepare(std::string_view ASql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(FDb.get(), ASql.data(), static_cast<int>(ASql.size()), &statement,
                           nullptr) != SQLITE_OK)
        Fail("prepare");
    return TSqliteStatement(*this, statement);
}

TSqliteStatement& TSqliteStatement::Bind(int AIndex, std::int64_t AValue) {
    if (sqlite3_bind_int64(FStatement.get(), AIndex, AValue) != SQLITE_OK) FDb->Fail("bind");
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int AIndex, std::string_view AText) {
    if (sqlite3_bind_text64(FStatement.get(), AIndex, AText.data(), AText.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8) != SQLITE_OK)
        FDb->Fail("bind");
    return *this;
}

TSqliteStatement& TSqliteStatement::BindNull(int AIndex) {
    if (sqlite3_bind_null(FStatement.get(), AIndex) != SQLITE_OK) FDb->Fail("bind");
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int AIndex, const std::optional<std::string>& AText) {
    return AText ? Bind(AIndex, std::string_view(*AText)) : BindNull(AIndex);
}

bool TSqliteStatement::Step() {
    const int rc = sqlite3_step(FStatement.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    FDb->Fail("step");
}

std::string TSqliteStatement::Text(int AColumn) const {
    const auto* text = sqlite3_column_text(FStatement.get(), AColumn);
    const int length = sqlite3_column_bytes(FStatement.get(), AColumn);
    return text ? std::string(reinterpret_cast<const char*>(text), std::size_t(length))
                : std::string();
}
