// Cost of the database layer over the bare engine for the cache's hot path, a keyed lookup.
//
// Each benchmark reports "x_raw": its time per lookup divided by the time of the same lookup
// done directly on the engine (one statement kept, reset, bound and stepped), measured in the
// same run on the same data.

#include <sqlite3.h>

#include <chrono>
#include <string>

#include <benchmark/benchmark.h>

#include "database/app_database.h"
#include "support/environment_guard.h"
#include "support/temp_folder.h"

namespace {

const int kRows = 1000;

std::string rowName(int i) { return "machine " + std::to_string(i); }

// A temporary application-data folder with one filled database, shared by all benchmarks.
struct Fixture {
  Fixture() : folder("tavorin-db-bench"), dataHome("XDG_DATA_HOME", folder.path().c_str()) {
    app.Open("bench", "CREATE TABLE IF NOT EXISTS hardware (hardware_id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,"
                      " name TEXT NOT NULL, last_used_timestamp TEXT NOT NULL);");
    app.ExecSQL("BEGIN;");
    for (int i = 0; i < kRows; ++i) {
      KSDSOLD::FieldMap row;
      row["name"].Set(rowName(i));
      row["last_used_timestamp"].Set("2010-01-15 10:00:00");
      app.InsertRecord("hardware", row, false);
    }
    app.ExecSQL("COMMIT;");
  }
  ~Fixture() { app.Connection().Close(); }
  testsupport::TempFolder folder;
  testsupport::EnvironmentGuard dataHome;
  ksds::Database app;
};

Fixture& fixture() {
  static Fixture instance;
  return instance;
}

// One lookup on the bare engine with a kept statement: the reference.
int64_t rawLookup(sqlite3_stmt* statement, const std::string& name) {
  sqlite3_reset(statement);
  sqlite3_bind_text(statement, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  int64_t id = -1;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    id = sqlite3_column_int64(statement, 0);
    benchmark::DoNotOptimize(sqlite3_column_text(statement, 1));
    benchmark::DoNotOptimize(sqlite3_column_text(statement, 2));
  }
  return id;
}

// Nanoseconds per reference lookup, measured once per run.
double rawNanosecondsPerLookup() {
  static const double nanoseconds = [] {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(fixture().app.Connection().RawHandle(), "SELECT * FROM hardware WHERE name = :1;", -1,
                       &statement, nullptr);
    const int lookups = 20000;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < lookups; ++i) benchmark::DoNotOptimize(rawLookup(statement, rowName(i % kRows)));
    auto elapsed = std::chrono::steady_clock::now() - start;
    sqlite3_finalize(statement);
    return std::chrono::duration<double, std::nano>(elapsed).count() / lookups;
  }();
  return nanoseconds;
}

void reportRatio(benchmark::State& state, std::chrono::steady_clock::duration elapsed) {
  const double perLookup = std::chrono::duration<double, std::nano>(elapsed).count() / state.iterations();
  state.counters["x_raw"] = perLookup / rawNanosecondsPerLookup();
}

void BM_RawEngineLookup(benchmark::State& state) {
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(fixture().app.Connection().RawHandle(), "SELECT * FROM hardware WHERE name = :1;", -1,
                     &statement, nullptr);
  int i = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) benchmark::DoNotOptimize(rawLookup(statement, rowName(i++ % kRows)));
  reportRatio(state, std::chrono::steady_clock::now() - start);
  sqlite3_finalize(statement);
}
BENCHMARK(BM_RawEngineLookup);

// GetRecord: the statement comes from the named cache; values are copied into a ColumnMap.
void BM_GetRecord(benchmark::State& state) {
  ksds::Database& app = fixture().app;
  KSDSOLD::FieldMap key;
  KSDSOLD::ColumnMap columns;
  int i = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    key["name"].Set(rowName(i++ % kRows));
    benchmark::DoNotOptimize(app.GetRecord("hardware", &key, columns));
  }
  reportRatio(state, std::chrono::steady_clock::now() - start);
}
BENCHMARK(BM_GetRecord);

// The same lookup compiled afresh every time, as the builders do for writes: what the named
// cache saves.
void BM_PrepareEveryLookup(benchmark::State& state) {
  KSDSOLD::Database& db = fixture().app.Connection();
  KSDSOLD::FieldMap key;
  KSDSOLD::ColumnMap columns;
  int i = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    key["1"].Set(rowName(i++ % kRows));
    KSDSOLD::IPreparedStatement* statement = nullptr;
    db.PrepareStatement("SELECT * FROM hardware WHERE name = :1;", &statement);
    benchmark::DoNotOptimize(db.Execute(statement, &key, &columns));
    statement->Release();
  }
  reportRatio(state, std::chrono::steady_clock::now() - start);
}
BENCHMARK(BM_PrepareEveryLookup);

}  // namespace

BENCHMARK_MAIN();
