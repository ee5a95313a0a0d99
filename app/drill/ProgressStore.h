#pragma once
// The learner's drill history in SQLite: one row per trial, each written in its own transaction
// so that a crash loses at most the trial in progress. A file that cannot be used never stops the
// drill: a corrupt one is moved aside (renamed, never deleted) and a fresh one started; a locked,
// read-only or unreachable one, or one of a newer or unknown schema, leaves the store unsaved
// and the file as it was, with a message saying so.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace sonavix::drill {

enum class DrillKind { Listen, Speak };

struct Trial {
    int64_t timeMs = 0; // Unix time
    int64_t session = 0;
    DrillKind drill = DrillKind::Listen;
    std::string contrast;
    std::string word;  // the word played or shown
    std::string voice; // the voice played; empty for the learner's own speech
    std::string answer;
    std::optional<bool> correct; // nullopt: the recogniser was not sure
    int responseMs = 0;
};

class ProgressStore {
  public:
    static constexpr int kSchemaVersion = 1;

    enum class State {
        Saving,     // opened (or started afresh) and writable
        MovedAside, // the old file was unreadable: renamed, a new one started; saving
        NotSaving,  // locked, read-only, newer or unknown schema, no directory: nothing is written
    };

    // Opens or creates the database at path, making its directory. Never throws.
    explicit ProgressStore(const std::string& path);
    // A store that keeps the session's trials in memory only.
    ProgressStore();
    ~ProgressStore();
    ProgressStore(const ProgressStore&) = delete;
    ProgressStore& operator=(const ProgressStore&) = delete;

    State GetState() const { return m_state; }
    bool Saving() const { return m_db != nullptr; }
    // In Chinese, for the window; empty when all is well.
    const std::string& Notice() const { return m_notice; }
    // Where an unreadable file was moved to (State::MovedAside).
    const std::string& MovedTo() const { return m_movedTo; }

    // A new session (one round); its id for the trials.
    int64_t StartSession(DrillKind drill);
    // Stores the trial at once. False (and a notice) when it could not be written; the trial is
    // still kept for this run's history.
    bool Add(const Trial& trial);
    // Every trial, oldest first: the stored ones and those of this run that could not be stored.
    std::vector<Trial> History() const;

  private:
    bool OpenAt(const std::string& path, std::string* why, bool* corrupt);
    void Close();

    sqlite3* m_db = nullptr;
    State m_state = State::NotSaving;
    std::string m_notice;
    std::string m_movedTo;
    int64_t m_memorySession = 0;
    std::vector<Trial> m_unsaved;
};

// Milliseconds since the Unix epoch.
int64_t NowMs();

} // namespace sonavix::drill
