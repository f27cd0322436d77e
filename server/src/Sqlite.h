#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <sqlite3.h>

// Small owners of SQLite's connection and statement handles, so that nothing leaks on an error
// path, and an error type that carries SQLite's own message.

class ESqliteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSqliteStatement;

class TSqliteDb {
public:
    explicit TSqliteDb(const std::string& APath);
    void Exec(const char* ASql);
    TSqliteStatement Prepare(std::string_view ASql);
    std::int64_t LastInsertId() const { return sqlite3_last_insert_rowid(FDb.get()); }
    int Changes() const { return sqlite3_changes(FDb.get()); }
    [[noreturn]] void Fail(const char* AWhat) const;

private:
    struct TClose {
        void operator()(sqlite3* ADb) const { sqlite3_close_v2(ADb); }
    };
    std::unique_ptr<sqlite3, TClose> FDb;
};

class TSqliteStatement {
public:
    TSqliteStatement(const TSqliteDb& ADb, sqlite3_stmt* AStatement)
        : FDb(&ADb), FStatement(AStatement) {}

    TSqliteStatement& Bind(int AIndex, std::int64_t AValue);
    TSqliteStatement& Bind(int AIndex, std::string_view AText);
    TSqliteStatement& BindNull(int AIndex);
    TSqliteStatement& Bind(int AIndex, const std::optional<std::string>& AText);

    // Steps once: true while a row is available, false when done.
    bool Step();
    void Run() {
        while (Step()) {
        }
    }

    std::int64_t Int(int AColumn) const { return sqlite3_column_int64(FStatement.get(), AColumn); }
    std::string Text(int AColumn) const;
    bool IsNull(int AColumn) const {
        return sqlite3_column_type(FStatement.get(), AColumn) == SQLITE_NULL;
    }

private:
    struct TFinalize {
        void operator()(sqlite3_stmt* AStatement) const { sqlite3_finalize(AStatement); }
    };
    const TSqliteDb* FDb;
    std::unique_ptr<sqlite3_stmt, TFinalize> FStatement;
};

// Commits at Commit(); rolls back when left without it, an exception included.
class TSqliteTransaction {
public:
    explicit TSqliteTransaction(TSqliteDb& ADb) : FDb(ADb) { FDb.Exec("BEGIN IMMEDIATE"); }
    ~TSqliteTransaction() {
        if (!FDone) Rollback();
    }
    TSqliteTransaction(const TSqliteTransaction&) = delete;
    TSqliteTransaction& operator=(const TSqliteTransaction&) = delete;
    void Commit() {
        FDb.Exec("COMMIT");
        FDone = true;
    }

private:
    void Rollback() noexcept {
        try {
            FDb.Exec("ROLLBACK");
        } catch (...) {
            // Nothing more can be done here; SQLite rolls back on close as well.
        }
    }
    TSqliteDb& FDb;
    bool FDone = false;
};
