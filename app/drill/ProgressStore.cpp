#include "drill/ProgressStore.h"

#include <sqlite3.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace sonavix::drill {
namespace {

namespace fs = std::filesystem;

const char* DrillName(DrillKind d) {
    return d == DrillKind::Speak ? "speak" : "listen";
}

bool IsCorruption(int rc) {
    rc &= 0xff;
    return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
}

bool IsLock(int rc) {
    rc &= 0xff;
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

// The first column of the first row of sql, or the failing code.
int QueryText(sqlite3* db, const char* sql, std::string* out) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            *out = text ? reinterpret_cast<const char*>(text) : "";
            rc = SQLITE_OK;
        } else if (rc == SQLITE_DONE) {
            out->clear();
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(stmt);
    return rc;
}

std::string Stamp() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

constexpr const char* kSchemaV1 =
    "CREATE TABLE sessions(id INTEGER PRIMARY KEY AUTOINCREMENT, started INTEGER NOT NULL,"
    " drill TEXT NOT NULL);"
    "CREATE TABLE trials(id INTEGER PRIMARY KEY AUTOINCREMENT, time INTEGER NOT NULL,"
    " session INTEGER NOT NULL, drill TEXT NOT NULL, contrast TEXT NOT NULL, word TEXT NOT NULL,"
    " voice TEXT NOT NULL, answer TEXT NOT NULL, correct INTEGER, response_ms INTEGER NOT NULL);"
    "CREATE INDEX trials_by_contrast ON trials(contrast, id);";

} // namespace

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

ProgressStore::ProgressStore() {
    m_notice = "进度不会保存。";
}

ProgressStore::ProgressStore(const std::string& path) {
    std::error_code ec;
    const fs::path file(path);
    if (file.has_parent_path()) {
        fs::create_directories(file.parent_path(), ec);
        if (ec) {
            m_notice = "无法创建文件夹 " + file.parent_path().string() + "，本次练习不会保存进度。";
            return;
        }
    }
    std::string why;
    bool corrupt = false;
    if (OpenAt(path, &why, &corrupt)) {
        m_state = State::Saving;
        return;
    }
    if (!corrupt) {
        m_notice = why + "本次练习不会保存进度。";
        return;
    }
    // Kept under a new name, with its journal files, so that nothing in it is lost.
    m_movedTo = path + ".unreadable-" + Stamp();
    fs::rename(file, m_movedTo, ec);
    if (ec) {
        m_notice = "进度文件已损坏，也无法改名保留：" + path + "。本次练习不会保存进度。";
        m_movedTo.clear();
        return;
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        std::error_code ignored;
        if (fs::exists(path + suffix, ignored))
            fs::rename(path + suffix, m_movedTo + suffix, ignored);
    }
    if (!OpenAt(path, &why, &corrupt)) {
        m_notice = "进度文件已损坏，已改名保留为 " + m_movedTo + "；新的进度文件也无法建立（" +
                   why + "），本次练习不会保存进度。";
        return;
    }
    m_state = State::MovedAside;
    m_notice = "进度文件已损坏，无法读取。旧文件已改名保留为 " + m_movedTo +
               "，从现在起记录在新的进度文件中。";
}

ProgressStore::~ProgressStore() {
    Close();
}

void ProgressStore::Close() {
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool ProgressStore::OpenAt(const std::string& path, std::string* why, bool* corrupt) {
    *corrupt = false;
    Close();
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const auto fail = [&](const std::string& reason) {
        *why = reason;
        sqlite3_close_v2(db);
        return false;
    };
    if (rc != SQLITE_OK)
        return fail("无法打开进度文件 " + path + "。");
    if (sqlite3_db_readonly(db, "main") == 1)
        return fail("进度文件 " + path + " 是只读的。");
    sqlite3_busy_timeout(db, 3000);

    std::string text;
    rc = QueryText(db, "PRAGMA quick_check", &text);
    if (IsCorruption(rc) || (rc == SQLITE_OK && text != "ok")) {
        *corrupt = true;
        return fail("进度文件已损坏。");
    }
    if (IsLock(rc))
        return fail("进度文件正被另一个 Sonavix 使用。");
    if (rc != SQLITE_OK)
        return fail("无法读取进度文件 " + path + "。");

    // The version first, and every change after it: a file of a newer program, or one this
    // program cannot migrate, is left exactly as it was.
    rc = QueryText(db, "PRAGMA user_version", &text);
    if (rc != SQLITE_OK)
        return fail("无法读取进度文件 " + path + "。");
    const int version = std::atoi(text.c_str());
    if (version > kSchemaVersion)
        return fail("进度文件来自更新版本的 Sonavix。");
    if (version < kSchemaVersion) {
        // Migrations run in one transaction with the version bump: all or nothing.
        std::string sql = "BEGIN IMMEDIATE;";
        if (version < 1)
            sql += kSchemaV1;
        sql += "PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";COMMIT;";
        rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            if (IsLock(rc))
                return fail("进度文件正被另一个 Sonavix 使用。");
            // SQLITE_ERROR: tables of those names that this program did not make.
            if ((rc & 0xff) == SQLITE_ERROR)
                return fail("无法识别进度文件 " + path + " 的格式。");
            return fail("无法写入进度文件 " + path + "。");
        }
    }

    rc = QueryText(db, "PRAGMA journal_mode=WAL", &text);
    if (IsLock(rc))
        return fail("进度文件正被另一个 Sonavix 使用。");
    if (rc != SQLITE_OK || text != "wal")
        return fail("无法写入进度文件 " + path + "。");
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    m_db = db;
    return true;
}

int64_t ProgressStore::StartSession(DrillKind drill) {
    if (m_db) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, "INSERT INTO sessions(started, drill) VALUES(?, ?)", -1, &stmt,
                               nullptr) == SQLITE_OK) {
            sqlite3_bind_int64(stmt, 1, NowMs());
            sqlite3_bind_text(stmt, 2, DrillName(drill), -1, SQLITE_STATIC);
            const int rc = sqlite3_step(stmt);
            sqlite3_finalize(stmt);
            if (rc == SQLITE_DONE)
                return sqlite3_last_insert_rowid(m_db);
        } else {
            sqlite3_finalize(stmt);
        }
    }
    // Unsaved sessions count down from -1 so that they never meet a stored id.
    return --m_memorySession;
}

bool ProgressStore::Add(const Trial& trial) {
    if (m_db) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(
            m_db,
            "INSERT INTO trials(time, session, drill, contrast, word, voice, answer, correct,"
            " response_ms) VALUES(?,?,?,?,?,?,?,?,?)",
            -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_int64(stmt, 1, trial.timeMs);
            sqlite3_bind_int64(stmt, 2, trial.session);
            sqlite3_bind_text(stmt, 3, DrillName(trial.drill), -1, SQLITE_STATIC);
            sqlite3_bind_text(stmt, 4, trial.contrast.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 5, trial.word.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 6, trial.voice.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 7, trial.answer.c_str(), -1, SQLITE_TRANSIENT);
            if (trial.correct)
                sqlite3_bind_int(stmt, 8, *trial.correct ? 1 : 0);
            else
                sqlite3_bind_null(stmt, 8);
            sqlite3_bind_int(stmt, 9, trial.responseMs);
            // A lone statement is its own transaction: committed (and synced) when step ends.
            rc = sqlite3_step(stmt);
        }
        sqlite3_finalize(stmt);
        if (rc == SQLITE_DONE)
            return true;
        m_notice = IsLock(rc) ? "进度文件正被另一个 Sonavix 占用，这一题没有保存。"
                              : "这一题没能写入进度文件。";
    }
    m_unsaved.push_back(trial);
    return false;
}

std::vector<Trial> ProgressStore::History() const {
    std::vector<Trial> out;
    if (m_db) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db,
                               "SELECT time, session, drill, contrast, word, voice, answer,"
                               " correct, response_ms FROM trials ORDER BY id",
                               -1, &stmt, nullptr) == SQLITE_OK) {
            const auto text = [&](int col) {
                const unsigned char* t = sqlite3_column_text(stmt, col);
                return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
            };
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                Trial t;
                t.timeMs = sqlite3_column_int64(stmt, 0);
                t.session = sqlite3_column_int64(stmt, 1);
                t.drill = text(2) == "speak" ? DrillKind::Speak : DrillKind::Listen;
                t.contrast = text(3);
                t.word = text(4);
                t.voice = text(5);
                t.answer = text(6);
                if (sqlite3_column_type(stmt, 7) != SQLITE_NULL)
                    t.correct = sqlite3_column_int(stmt, 7) != 0;
                t.responseMs = sqlite3_column_int(stmt, 8);
                out.push_back(std::move(t));
            }
        }
        sqlite3_finalize(stmt);
    }
    out.insert(out.end(), m_unsaved.begin(), m_unsaved.end());
    return out;
}

} // namespace sonavix::drill
