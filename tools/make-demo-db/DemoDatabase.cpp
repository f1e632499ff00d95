// Demo database generation: one transaction, one prepared statement per table, values from a
// seeded splitmix64 so that every run writes the same rows.
#include "DemoDatabase.h"

#include "platform/Cp1251.h"
#include "session/PassCode.h"

#include <sqlite3.h>

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace demodb {

namespace {

// Marks the sign-in accepts: type 1, bit 1024, a period around the present.
constexpr int kSignInBit = 1024;
constexpr const char* kValidFrom = "2020-01-01 00:00:00";
constexpr const char* kValidTo = "2035-12-31 23:59:59";

class Random {
public:
    explicit Random(uint64_t seed) : FState(seed) {}
    uint64_t next() {
        uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    int below(int n) { return int(next() % uint64_t(n)); }
    bool chance(int percent) { return below(100) < percent; }

private:
    uint64_t FState;
};

// Seconds since 1970-01-01 -> "YYYY-MM-DD HH:MM:SS" (proleptic Gregorian calendar). The buffer
// holds any int values, so the compiler can see nothing is ever cut.
void formatTime(int64_t seconds, char (&out)[80]) {
    int64_t days = seconds / 86400;
    const int secs = int(seconds % 86400);
    days += 719468;
    const int64_t era = days / 146097;
    const int doe = int(days - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int day = doy - (153 * mp + 2) / 5 + 1;
    const int month = mp < 10 ? mp + 3 : mp - 9;
    const int year = int(yoe + era * 400) + (month <= 2);
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, secs / 3600,
                  secs / 60 % 60, secs % 60);
}

int64_t secondsOf(int year, int month, int day) {
    year -= month <= 2;
    const int64_t era = year / 400;
    const int yoe = int(year - era * 400);
    const int doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return (era * 146097 + doe - 719468) * 86400;
}

// --- names

const char* const kSurnames[] = {
    "Иванов",   "Петров",      "Сидоров",   "Смирнов",    "Кузнецов", "Попов",    "Васильев",
    "Соколов",  "Михайлов",    "Новиков",   "Фёдоров",    "Морозов",  "Волков",   "Алексеев",
    "Лебедев",  "Семёнов",     "Егоров",    "Павлов",     "Козлов",   "Степанов", "Николаев",
    "Орлов",    "Андреев",     "Макаров",   "Никитин",    "Захаров",  "Зайцев",   "Соловьёв",
    "Борисов",  "Яковлев",     "Григорьев", "Романов",    "Воробьёв", "Сергеев",  "Кузьмин",
    "Фролов",   "Александров", "Дмитриев",  "Королёв",    "Гусев",    "Киселёв",  "Ильин",
    "Максимов", "Поляков",     "Сорокин",   "Виноградов", "Ковалёв",  "Белов",    "Медведев",
    "Антонов",  "Тарасов",     "Жуков",     "Баранов",    "Филиппов", "Комаров",  "Давыдов",
};
const char* const kMaleNames[] = {
    "Александр", "Алексей", "Андрей", "Антон", "Борис",      "Вадим",  "Виктор", "Владимир",
    "Дмитрий",   "Евгений", "Иван",   "Игорь", "Константин", "Максим", "Михаил", "Николай",
    "Олег",      "Павел",   "Пётр",   "Роман", "Сергей",     "Степан", "Юрий",   "Ярослав",
};
const char* const kFemaleNames[] = {
    "Александра", "Анна",  "Валентина", "Вера",     "Галина",  "Дарья",  "Екатерина",
    "Елена",      "Ирина", "Ксения",    "Лариса",   "Людмила", "Марина", "Мария",
    "Наталья",    "Нина",  "Ольга",     "Светлана", "Татьяна", "Юлия",
};
// Patronymic stems: + "ович"/"овна" (a few irregular ones are written out).
const char* const kPatronymics[][2] = {
    {"Александрович", "Александровна"},
    {"Алексеевич", "Алексеевна"},
    {"Андреевич", "Андреевна"},
    {"Борисович", "Борисовна"},
    {"Викторович", "Викторовна"},
    {"Владимирович", "Владимировна"},
    {"Дмитриевич", "Дмитриевна"},
    {"Евгеньевич", "Евгеньевна"},
    {"Иванович", "Ивановна"},
    {"Игоревич", "Игоревна"},
    {"Михайлович", "Михайловна"},
    {"Николаевич", "Николаевна"},
    {"Олегович", "Олеговна"},
    {"Павлович", "Павловна"},
    {"Петрович", "Петровна"},
    {"Сергеевич", "Сергеевна"},
    {"Юрьевич", "Юрьевна"},
};

template <typename T, size_t N>
const T& pick(Random& r, const T (&items)[N]) {
    return items[r.below(int(N))];
}

// A surname in -ов/-ев/-ин/-ёв takes -а in the feminine.
QString feminine(const QString& surname) {
    return surname + QStringLiteral("а");
}

// --- the demo operators and the marks that must not sign in

struct Person {
    const char* name;
    const char* firstName;
    const char* midName;
    int status;  // 0 = NULL
};

struct Mark {
    int owner;  // index into kOperators
    const char* code;
    int config;
    int gtype;
    unsigned char leadingByte;
    const char* start;
    const char* finish;
};

const Person kOperators[] = {
    {"Петров", "Андрей", "Викторович", 1},
    {"Смирнова", "Ольга", "Николаевна", 2},
    {"Кузнецов", "Игорь", "Сергеевич", 4},
};

// The leading bytes are chosen so that the escapes of the stored form are exercised: 0xFE, a
// backslash and a blank cannot be stored as they are.
const Mark kOperatorMarks[] = {
    {0, "1001", kSignInBit | session::PassCodeDifferenceForm, 1, 0xFE, kValidFrom, kValidTo},
    {1, "Smena2", kSignInBit, 1, 0x5C, kValidFrom, kValidTo},
    {2, "4004", kSignInBit | session::PassCodeDifferenceForm | 0x01, 1, 0x20, kValidFrom, kValidTo},
    // Stored, but refused by the sign-in query: expired, without bit 1024, a mark of type 2.
    {0, "5005", kSignInBit | session::PassCodeDifferenceForm, 1, 0x31, "2019-01-01 00:00:00",
     "2024-12-31 23:59:59"},
    {0, "6006", session::PassCodeDifferenceForm, 1, 0x32, kValidFrom, kValidTo},
    {0, "7007", kSignInBit, 2, 0x33, kValidFrom, kValidTo},
};

// --- devices and events

struct Place {
    const char* name;
    int kind;  // 1 door reader, 2 turnstile, 3 barrier, 4 alarm zone
};
const Place kPlaces[] = {
    {"Турникет 1, центральная проходная", 2},
    {"Турникет 2, центральная проходная", 2},
    {"Турникет 3, проходная склада", 2},
    {"Шлагбаум, въезд на стоянку", 3},
    {"Шлагбаум, выезд со стоянки", 3},
    {"Дверь серверной", 1},
    {"Дверь бухгалтерии", 1},
    {"Дверь архива", 1},
    {"Дверь лаборатории", 1},
    {"Дверь кассы", 1},
    {"Служебный вход, 1 этаж", 1},
    {"Лестница, 2 этаж", 1},
    {"Лестница, 3 этаж", 1},
    {"Лестница, 4 этаж", 1},
    {"Дверь диспетчерской", 1},
    {"Запасной выход", 1},
    {"Ворота склада", 3},
    {"Дверь цеха № 1", 1},
    {"Дверь цеха № 2", 1},
    {"Дверь охраны", 1},
    {"Охранная зона: периметр", 4},
    {"Охранная зона: склад", 4},
    {"Охранная зона: серверная", 4},
    {"Охранная зона: касса", 4},
};

struct EventCode {
    int code;
    const char* text;
    int weight;       // share of the log, in parts of 1000
    bool withPerson;  // a card was shown
    bool pass;        // has a direction
};
const EventCode kEventCodes[] = {
    {1, "Проход разрешён", 720, true, true},
    {2, "Проход запрещён: неизвестный код", 40, false, true},
    {3, "Проход запрещён: срок действия истёк", 25, true, true},
    {4, "Проход запрещён: нет прав доступа", 45, true, true},
    {5, "Дверь открыта кнопкой", 60, false, false},
    {6, "Дверь взломана", 5, false, false},
    {7, "Дверь удерживается открытой", 30, false, false},
    {8, "Связь с контроллером потеряна", 8, false, false},
    {9, "Связь с контроллером восстановлена", 8, false, false},
    {10, "Постановка на охрану", 25, true, false},
    {11, "Снятие с охраны", 25, true, false},
    {12, "Тревога", 9, false, false},
};

// --- SQLite

using Db = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;
using Stmt = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

const char kSchema[] = R"(
CREATE TABLE pList (ID INTEGER PRIMARY KEY, Name VARCHAR(50), FirstName VARCHAR(50),
                    MidName VARCHAR(50), Status SMALLINT);
CREATE TABLE pMark (ID INTEGER PRIMARY KEY, Owner INTEGER, CodeP VARCHAR(255), Config INTEGER,
                    GType SMALLINT, Start DATETIME, Finish DATETIME);
CREATE TABLE Devices (ID INTEGER PRIMARY KEY, Name VARCHAR(100), Kind SMALLINT,
                      Address VARCHAR(50));
CREATE TABLE EventCodes (Code SMALLINT PRIMARY KEY, Name VARCHAR(100));
CREATE TABLE EventLog (ID INTEGER PRIMARY KEY, EventTime DATETIME, Device INTEGER,
                       Person INTEGER, Mark INTEGER, Code SMALLINT, Direction SMALLINT,
                       Text VARCHAR(200));
)";

const char kIndexes[] = R"(
CREATE INDEX pMarkOwner ON pMark (Owner);
CREATE INDEX EventLogTime ON EventLog (EventTime);
CREATE INDEX EventLogPerson ON EventLog (Person);
)";

class Writer {
public:
    explicit Writer(sqlite3* db) : FDb(db) {}

    void exec(const char* sql) {
        char* message = nullptr;
        if (sqlite3_exec(FDb, sql, nullptr, nullptr, &message) != SQLITE_OK) {
            FError = QString::fromUtf8(message ? message : "SQLite error");
            sqlite3_free(message);
            throw FError;
        }
    }
    Stmt prepare(const char* sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(FDb, sql, -1, &s, nullptr) != SQLITE_OK)
            fail();
        return Stmt(s, sqlite3_finalize);
    }
    // Runs a bound insert and makes the statement ready for the next row.
    void step(sqlite3_stmt* s) {
        if (sqlite3_step(s) != SQLITE_DONE)
            fail();
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
    [[noreturn]] void fail() {
        FError = QString::fromUtf8(sqlite3_errmsg(FDb));
        throw FError;
    }

private:
    sqlite3* FDb;
    QString FError;
};

void bindText(sqlite3_stmt* s, int i, const QByteArray& utf8) {
    sqlite3_bind_text(s, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}
void bindText(sqlite3_stmt* s, int i, const char* utf8) {
    sqlite3_bind_text(s, i, utf8, -1, SQLITE_STATIC);
}
// 0 stands for NULL in the columns that allow it.
void bindOptional(sqlite3_stmt* s, int i, int64_t value) {
    if (value)
        sqlite3_bind_int64(s, i, value);
}

// The stored form as the database keeps text: the Windows-1251 reading of the escaped bytes, so
// that the server's conversion to the wire gives back exactly those bytes.
QByteArray storedCode(const QByteArray& plain, int config, unsigned char leadingByte) {
    return platform::fromCp1251(session::EncodePassCode(plain, config, leadingByte)).toUtf8();
}

struct PersonRow {
    int id;
    int mark;         // a mark of type 1, or 0
    QByteArray text;  // "Surname F. M." for event texts, UTF-8
};

class Generator {
public:
    Generator(sqlite3* db, const DemoOptions& options) : FW(db), FOptions(options) {}

    void run() {
        FW.exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;");
        FW.exec(kSchema);
        FW.exec("BEGIN");
        people();
        devices();
        events();
        FW.exec("COMMIT");
        FW.exec(kIndexes);
    }

private:
    void people() {
        Stmt person = FW.prepare("INSERT INTO pList VALUES (?, ?, ?, ?, ?)");
        Stmt mark = FW.prepare("INSERT INTO pMark VALUES (?, ?, ?, ?, ?, ?, ?)");
        int markId = 0;
        for (const Person& p : kOperators) {
            const int id = int(FPeople.size()) + 1;
            insertPerson(person.get(), id, p.name, p.firstName, p.midName, p.status);
            FPeople.push_back({id, 0, shortName(p.name, p.firstName, p.midName)});
        }
        for (const Mark& m : kOperatorMarks) {
            insertMark(mark.get(), ++markId, m.owner + 1,
                       storedCode(m.code, m.config, m.leadingByte), m.config, m.gtype, m.start,
                       m.finish);
            if (m.gtype == 1 && !FPeople[size_t(m.owner)].mark)
                FPeople[size_t(m.owner)].mark = markId;
        }
        for (int n = 0; n < FOptions.people; ++n)
            randomPerson(person.get(), mark.get(), markId);
    }

    void randomPerson(sqlite3_stmt* person, sqlite3_stmt* mark, int& markId) {
        const bool female = FRandom.chance(40);
        const QByteArray surname =
            female ? feminine(QString::fromUtf8(pick(FRandom, kSurnames))).toUtf8()
                   : QByteArray(pick(FRandom, kSurnames));
        const char* first = female ? pick(FRandom, kFemaleNames) : pick(FRandom, kMaleNames);
        const char* middle = pick(FRandom, kPatronymics)[female ? 1 : 0];
        const int status = FRandom.chance(5) ? 0 : 1 + FRandom.below(4);
        const int id = int(FPeople.size()) + 1;
        insertPerson(person, id, surname.constData(), first, middle, status);
        PersonRow row{id, 0, shortName(surname.constData(), first, middle)};
        // Most people carry one card; some a second one (a key of type 2).
        const int marks = FRandom.chance(20) ? 2 : 1;
        for (int k = 0; k < marks; ++k) {
            const int gtype = k == 0 && FRandom.chance(92) ? 1 : 2;
            int config = FRandom.chance(90) ? kSignInBit : 0;
            if (FRandom.chance(50))
                config |= session::PassCodeDifferenceForm;
            char code[16];
            std::snprintf(code, sizeof code, "%010llu",
                          static_cast<unsigned long long>(FRandom.next() % 10000000000ull));
            const bool expired = FRandom.chance(12);
            char finish[80];
            if (expired)
                formatTime(secondsOf(2021 + FRandom.below(5), 1 + FRandom.below(12), 1) - 1,
                           finish);
            insertMark(mark, ++markId, id,
                       storedCode(code, config, static_cast<unsigned char>(FRandom.below(256))),
                       config, gtype, expired ? "2019-01-01 00:00:00" : kValidFrom,
                       expired ? finish : kValidTo);
            if (gtype == 1 && !row.mark)
                row.mark = markId;
        }
        FPeople.push_back(std::move(row));
    }

    static QByteArray shortName(const char* surname, const char* first, const char* middle) {
        return (QString::fromUtf8(surname) + u' ' + QString::fromUtf8(first).left(1) +
                QStringLiteral(". ") + QString::fromUtf8(middle).left(1) + u'.')
            .toUtf8();
    }

    void insertPerson(sqlite3_stmt* s, int id, const char* name, const char* first,
                      const char* middle, int status) {
        sqlite3_bind_int(s, 1, id);
        bindText(s, 2, name);
        bindText(s, 3, first);
        bindText(s, 4, middle);
        bindOptional(s, 5, status);
        FW.step(s);
    }

    void insertMark(sqlite3_stmt* s, int id, int owner, const QByteArray& code, int config,
                    int gtype, const char* start, const char* finish) {
        sqlite3_bind_int(s, 1, id);
        sqlite3_bind_int(s, 2, owner);
        bindText(s, 3, code);
        sqlite3_bind_int(s, 4, config);
        sqlite3_bind_int(s, 5, gtype);
        bindText(s, 6, start);
        bindText(s, 7, finish);
        FW.step(s);
    }

    void devices() {
        Stmt device = FW.prepare("INSERT INTO Devices VALUES (?, ?, ?, ?)");
        int id = 0;
        for (const Place& p : kPlaces) {
            ++id;
            sqlite3_bind_int(device.get(), 1, id);
            bindText(device.get(), 2, p.name);
            sqlite3_bind_int(device.get(), 3, p.kind);
            bindText(device.get(), 4,
                     QByteArray("10.1.") + QByteArray::number(id / 8) + '.' +
                         QByteArray::number(10 + id % 8));
            FW.step(device.get());
        }
        Stmt code = FW.prepare("INSERT INTO EventCodes VALUES (?, ?)");
        for (const EventCode& e : kEventCodes) {
            sqlite3_bind_int(code.get(), 1, e.code);
            bindText(code.get(), 2, e.text);
            FW.step(code.get());
        }
    }

    const EventCode& randomCode() {
        int roll = FRandom.below(1000);
        for (const EventCode& e : kEventCodes) {
            if (roll < e.weight)
                return e;
            roll -= e.weight;
        }
        return kEventCodes[0];
    }

    // Six months from 2026-06-01, times rising with the row number.
    void events() {
        Stmt event = FW.prepare("INSERT INTO EventLog VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        sqlite3_stmt* s = event.get();
        const int64_t from = secondsOf(2026, 6, 1);
        const int64_t span = secondsOf(2026, 12, 1) - from;
        const int n = std::max(0, FOptions.events);
        const int devices = int(std::size(kPlaces));
        char when[80];
        const int jitter = int(std::max<int64_t>(1, span / std::max(1, n)));
        for (int i = 0; i < n; ++i) {
            formatTime(from + int64_t(i) * span / n + FRandom.below(jitter), when);
            const EventCode& e = randomCode();
            const int device = 1 + FRandom.below(devices);
            const PersonRow* p =
                e.withPerson ? &FPeople[size_t(FRandom.below(int(FPeople.size())))] : nullptr;
            sqlite3_bind_int(s, 1, i + 1);
            bindText(s, 2, when);
            sqlite3_bind_int(s, 3, device);
            if (p) {
                sqlite3_bind_int(s, 4, p->id);
                bindOptional(s, 5, p->mark);
            }
            sqlite3_bind_int(s, 6, e.code);
            if (e.pass)
                sqlite3_bind_int(s, 7, 1 + FRandom.below(2));
            QByteArray text(e.text);
            if (p)
                text += QByteArray(": ") + p->text;
            else
                text += QByteArray(": ") + kPlaces[device - 1].name;
            bindText(s, 8, text);
            FW.step(s);
        }
    }

    Writer FW;
    const DemoOptions FOptions;
    Random FRandom{20260601};
    std::vector<PersonRow> FPeople;
};

}  // namespace

bool BuildDemoDatabase(const QString& path, const DemoOptions& options, QString* error) {
    const QString temporary = path + QStringLiteral(".part");
    QFile::remove(temporary);
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(temporary.toUtf8().constData(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Db db(raw, sqlite3_close);
    try {
        if (rc != SQLITE_OK)
            throw QString::fromUtf8(sqlite3_errmsg(raw));
        Generator(raw, options).run();
    } catch (const QString& message) {
        db.reset();
        QFile::remove(temporary);
        *error = QStringLiteral("%1: %2").arg(path, message);
        return false;
    }
    db.reset();
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(path).constData())) {
        QFile::remove(temporary);
        *error = QStringLiteral("%1: cannot replace the file").arg(path);
        return false;
    }
    return true;
}

}  // namespace demodb
