// The in-memory table against SQLite on one million records of eight columns (integers, a
// date-time, Cyrillic strings, 30% nulls): a filtered count next to SQLite's in-memory
// SELECT count(*) with the same condition, and Locate of the last record by an integer key and by
// a case-insensitive string key (counters give key comparisons per second). Memory per record is
// reported against the raw size of the values. Run once with the release build; no assertions.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "dataclient/UZFilterParser.h"
#include "dataclient/UZMemTableBuilder.h"
#include "platform/Cp1251.h"
#include "platform/MessageBox.h"

namespace {

using namespace platform;
using namespace dataclient;

constexpr int Records = 1000000;
const char* const Filter = "Status = 2 AND Name <> '' AND Code > 100";

struct Row {
    bool has[8];
    int32_t id, code, group;
    int16_t status;
    double day, amount;
    std::string name, note;  // UTF-8
};

Row makeRow(int i, std::mt19937& rng) {
    static const char* const surnames[] = {"Иванов",   "Петров",   "Сидорова", "Ёлкин",
                                           "Кузнецов", "Смирнова", "Попов",    "Васильева"};
    Row r;
    for (bool& h : r.has)
        h = rng() % 10 >= 3;  // 30% nulls
    r.has[0] = true;          // Id
    r.id = i;
    r.status = int16_t(rng() % 4);
    r.code = int32_t(rng() % 1000);
    r.group = int32_t(rng() % 50);
    r.day = (693594.0 + 45000 + rng() % 1000) * 86400000.0 + rng() % 86400000;
    r.amount = (rng() % 100000) / 100.0;
    r.name = std::string(surnames[rng() % 8]) + " №" + std::to_string(i);
    r.note = rng() % 3 ? std::string("Примечание к записи") : std::string();
    return r;
}

size_t rawBytes(const Row& r) {
    size_t n = 0;
    const size_t widths[8] = {4, 2, 4, 0, 8, 8, 4, 0};
    for (int k = 0; k < 8; ++k)
        if (r.has[k])
            n += widths[k];
    if (r.has[3])
        n += toCp1251(QString::fromStdString(r.name)).size();
    if (r.has[7])
        n += toCp1251(QString::fromStdString(r.note)).size();
    return n;
}

using GeneratedRow = Row;

// The rows are encoded at open from the generated ones, not kept a second time as values.
class BenchTable : public FilledMemTable {
public:
    BenchTable()
        : FilledMemTable({{"Id", ftInteger},
                          {"Status", ftSmallint},
                          {"Code", ftInteger},
                          {"Name", ftString, 60},
                          {"Day", ftDateTime},
                          {"Amount", ftFloat},
                          {"GroupNo", ftInteger},
                          {"Note", ftString, 60}}) {
        setRowSource([this](const auto& append) {
            for (const GeneratedRow& r : *rows)
                append(values(r));
        });
    }
    std::vector<GeneratedRow>* rows = nullptr;

private:
    static FilledMemTable::Row values(const GeneratedRow& r) {
        auto v = [&r](int k, Variant value) { return r.has[k] ? value : Variant::Null(); };
        return {v(0, r.id),
                v(1, int(r.status)),
                v(2, r.code),
                v(3, QString::fromStdString(r.name)),
                v(4, Variant::FromDateTime(MSecsToDateTime(r.day))),
                v(5, r.amount),
                v(6, r.group),
                v(7, QString::fromStdString(r.note))};
    }
};

struct Fixture {
    std::vector<Row> rows;
    BenchTable table;
    sqlite3* db = nullptr;
    size_t tableHeapBytes = 0;
    size_t raw = 0;

    Fixture() {
        setMessageHandler([](const MessageRequest& r) {
            std::fprintf(stderr, "error: %s\n", r.text.toUtf8().constData());
            return MsgResult::Ok;
        });
        std::mt19937 rng(42);
        rows.reserve(Records);
        for (int i = 0; i < Records; ++i) {
            rows.push_back(makeRow(i, rng));
            raw += rawBytes(rows.back());
        }
        table.rows = &rows;
        const size_t before = mallinfo2().uordblks;
        table.Open();
        tableHeapBytes = mallinfo2().uordblks - before;
        loadSqlite();
    }
    ~Fixture() { sqlite3_close(db); }

    void loadSqlite() {
        sqlite3_open(":memory:", &db);
        sqlite3_exec(db,
                     "CREATE TABLE t(Id INTEGER, Status INTEGER, Code INTEGER, Name TEXT, Day REAL,"
                     " Amount REAL, GroupNo INTEGER, Note TEXT)",
                     nullptr, nullptr, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?,?,?,?,?,?)", -1, &ins, nullptr);
        for (const Row& r : rows) {
            auto bindInt = [&](int k, int64_t v) {
                r.has[k] ? sqlite3_bind_int64(ins, k + 1, v) : sqlite3_bind_null(ins, k + 1);
            };
            bindInt(0, r.id);
            bindInt(1, r.status);
            bindInt(2, r.code);
            r.has[3] ? sqlite3_bind_text(ins, 4, r.name.c_str(), -1, SQLITE_STATIC)
                     : sqlite3_bind_null(ins, 4);
            r.has[4] ? sqlite3_bind_double(ins, 5, r.day) : sqlite3_bind_null(ins, 5);
            r.has[5] ? sqlite3_bind_double(ins, 6, r.amount) : sqlite3_bind_null(ins, 6);
            bindInt(6, r.group);
            r.has[7] ? sqlite3_bind_text(ins, 8, r.note.c_str(), -1, SQLITE_STATIC)
                     : sqlite3_bind_null(ins, 8);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }

    int64_t sqliteCount() {
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT count(*) FROM t WHERE Status = 2 AND Name <> '' AND Code > 100",
                           -1, &q, nullptr);
        sqlite3_step(q);
        const int64_t n = sqlite3_column_int64(q, 0);
        sqlite3_finalize(q);
        return n;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_MemTableFilteredCount(benchmark::State& state) {
    Fixture& f = fixture();
    f.table.SetFiltered(true);
    int count = 0;
    for (auto _ : state) {
        f.table.SetFilter(Filter);  // a new text makes the cached count stale
        count = f.table.RecordCount();
        benchmark::DoNotOptimize(count);
    }
    f.table.SetFiltered(false);
    state.counters["matched"] = count;
    state.counters["sqlite_matched"] = double(f.sqliteCount());
    state.counters["records_per_s"] =
        benchmark::Counter(double(Records), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MemTableFilteredCount)->Unit(benchmark::kMillisecond);

void BM_SqliteCount(benchmark::State& state) {
    Fixture& f = fixture();
    int64_t count = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(count = f.sqliteCount());
    state.counters["matched"] = double(count);
}
BENCHMARK(BM_SqliteCount)->Unit(benchmark::kMillisecond);

void BM_LocateLastByInteger(benchmark::State& state) {
    Fixture& f = fixture();
    f.table.First();
    bool found = false;
    for (auto _ : state) {
        f.table.First();
        benchmark::DoNotOptimize(found = f.table.Locate("Id", Records - 1, 0));
    }
    state.counters["found"] = found;
    state.counters["comparisons_per_s"] =
        benchmark::Counter(double(Records), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LocateLastByInteger)->Unit(benchmark::kMillisecond);

void BM_LocateLastByTextIgnoringCase(benchmark::State& state) {
    Fixture& f = fixture();
    const QString key = QString::fromStdString(f.rows.back().name).toUpper();
    bool found = false;
    for (auto _ : state) {
        f.table.First();
        benchmark::DoNotOptimize(found = f.table.Locate("Name", key, loCaseInsensitive));
    }
    state.counters["found"] = found;
    state.counters["comparisons_per_s"] =
        benchmark::Counter(double(Records), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LocateLastByTextIgnoringCase)->Unit(benchmark::kMillisecond);

void BM_Memory(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.table.RecCount());
    state.counters["table_bytes_per_record"] = double(f.tableHeapBytes) / Records;
    state.counters["raw_bytes_per_record"] = double(f.raw) / Records;
    state.counters["record_data_size"] = f.table.DataSize();
}
BENCHMARK(BM_Memory)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
