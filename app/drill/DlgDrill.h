#pragma once
// The minimal-pair drills (辨音练习): hear which word of a pair was said, say a word and let the
// recogniser judge it, and the learner's progress per contrast. Non-modal and resizable; every
// trial is stored as it is answered (drill/ProgressStore.h).
#include "drill/ListeningRound.h"
#include "drill/ProgressStore.h"
#include "drill/Schedule.h"
#include "pairs/PairManifest.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QShortcut;
class QStackedWidget;
class QTabWidget;
class QTableWidget;

namespace mplay {
class Recorder;
struct Recording;
} // namespace mplay

namespace sonavix::speech {
class Recogniser;
struct PairResult;
} // namespace sonavix::speech

namespace sonavix::drill {

class AnswerButton;

class DlgDrill : public QWidget {
    Q_OBJECT

  public:
    // contentDir holds manifest.json and voices/; progressFile is the learner's database.
    DlgDrill(const QString& contentDir, const QString& progressFile, QWidget* parent = nullptr);
    ~DlgDrill() override;

    // Listening drill commands (also on keys 1, 2, Space, B and Enter).
    void StartRound();
    void StartRoundOf(const std::vector<std::string>& contrasts);
    void Answer(bool choseB);
    void Replay();
    void HearBoth();
    void Next();

    // Speaking drill commands.
    void NextSpeakWord();
    void ToggleRecording();
    void PlayModel();
    void PlayOwn();
    // Asks for the practice window on the word shown, with its recording as the model.
    void PractiseSpeakWord();

    void ShowProgress();

    // For tests: the round in progress, and the seed of the next one.
    const ListeningRound* Round() const { return m_round.get(); }
    void SeedForTests(unsigned seed) { m_rng.seed(seed); }
    const ProgressStore& Store() const { return *m_store; }

  signals:
    // word, the recording of it that was played, and the symbol code of its sound in the
    // contrast (empty when the word is the one without it).
    void practiseRequested(const QString& word, const QString& recording, const QString& code);

  private:
    void BuildUi();
    std::vector<std::string> Selected() const;
    std::vector<std::string> ContrastsForRound(int count);
    void ShowTrial();
    void ShowSummary();
    void Play(const std::string& word, const std::string& voice);
    void SetNotice(const QString& text);
    void UpdateShortcuts();
    void RefreshProgress();
    void OnRecorded(mplay::Recording recording);
    void OnRecognised(const speech::PairResult& result, const std::string& error);
    QString SymbolText(const std::string& codes) const;

    QString m_contentDir;
    std::optional<pairs::Manifest> m_manifest;
    std::unique_ptr<ProgressStore> m_store;
    std::map<std::string, ContrastStats> m_stats;
    std::mt19937 m_rng;

    // Listening.
    std::unique_ptr<ListeningRound> m_round;
    int64_t m_session = 0;
    std::string m_lastVoice;
    const RoundTrial* m_feedbackTrial = nullptr; // the last answered, for "hear both"
    QElapsedTimer m_sinceSound;
    QTimer m_secondWord;
    std::string m_secondPath;

    // Speaking.
    const pairs::Pair* m_speakPair = nullptr;
    std::string m_speakContrast;
    bool m_speakB = false;
    std::string m_speakVoice;
    int64_t m_speakSession = 0;
    std::unique_ptr<mplay::Recorder> m_recorder;
    std::unique_ptr<speech::Recogniser> m_recogniser; // used on m_worker only
    std::thread m_worker;
    bool m_recognising = false;
    std::vector<int16_t> m_ownSamples; // the last recording, mono at Recorder::kSampleRate
    QTimer m_meter;

    // Widgets.
    QLabel* m_notice = nullptr;
    QListWidget* m_contrasts = nullptr;
    QTabWidget* m_tabs = nullptr;
    QStackedWidget* m_listenPages = nullptr;
    QLabel* m_trialTitle = nullptr;
    AnswerButton* m_answer[2] = {};
    QLabel* m_feedback = nullptr;
    QPushButton* m_btnHearBoth = nullptr;
    QPushButton* m_btnNext = nullptr;
    QLabel* m_summaryTitle = nullptr;
    QTableWidget* m_summaryTable = nullptr;
    QLabel* m_speakWord = nullptr;
    QLabel* m_speakCodes = nullptr;
    QLabel* m_speakGloss = nullptr;
    QLabel* m_speakStatus = nullptr;
    QLabel* m_speakResult = nullptr;
    QPushButton* m_btnRecord = nullptr;
    QPushButton* m_btnOwn = nullptr;
    QTableWidget* m_progressTable = nullptr;
    QWidget* m_weakest = nullptr;
    std::vector<QShortcut*> m_trialKeys;
};

} // namespace sonavix::drill
