#pragma once
// Practice (跟读练习): say the symbol or one of its example words after the model, then hear and
// see both. The model above, the learner's latest attempt below, on one time scale from their
// speech onsets; a vowel chart for the vowels and readouts for the consonants. Non-modal and
// resizable; it follows the lesson window's symbol. Attempts are kept under the learner's data
// directory (AttemptStore.h).
#include "common/ProgramPaths.h"
#include "practice/AttemptStore.h"
#include "practice/PracticeItems.h"
#include "practice/VowelTargets.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace mplay {
class Recorder;
struct Recording;
} // namespace mplay

namespace sonavix::practice {

class SoundPicture;
class VowelChart;

class DlgPractice : public QWidget {
    Q_OBJECT

  public:
    DlgPractice(const ProgramPaths& paths, int symbol, double speed, QWidget* parent = nullptr);
    ~DlgPractice() override;

    // Follows the lesson window: a new symbol starts at its own recording.
    void SetSymbol(int symbol);
    // A word from the drills, its recording as the model, under the symbol whose code is given
    // (the current one when there is none); it comes first among that symbol's items.
    void PractiseWord(const QString& word, const QString& recording, const QString& code);
    void SetSpeed(double speed) { m_speed = speed; }
    int Symbol() const { return m_symbol; }

    // Commands of the buttons (and keys M, R, Y, C).
    void ChooseItem(int index); // 0 = the symbol, then the words
    void PlayModel();
    void ToggleRecording();
    void PlayMine();
    void Compare();
    // Asks first; removes every attempt of every item.
    void DeleteAllAttempts();

    // What the window shows, for tests.
    const std::vector<PracticeItem>& Items() const { return m_items; }
    int CurrentItem() const { return m_item; }
    bool ChartShown() const;
    QString Message() const;
    int AttemptCount() const { return static_cast<int>(m_attempts.size()); }
    // Takes a finished recording as the recorder would hand it over.
    void TakeRecording(mplay::Recording recording);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct Attempt {
        QString path; // empty when it could not be kept
        SoundPtr sound;
    };
    struct PlayPart {
        SoundPicture* picture;
        double from, to;  // s of that picture's sound
        double wallStart; // s after the request
    };

    void BuildUi();
    void ShowSymbol(int symbol, const PracticeItem* first);
    void LoadItem();
    void LoadAttempts();
    void ShowAttempt(int index);
    void RefreshAttemptChooser();
    void RefreshAnalysis();
    void RefreshReadouts();
    void SetMessage(const QString& text, bool warning = false);
    void StartCursor(std::vector<PlayPart> parts, double speed);
    void MoveCursor();
    void StopCursor();
    void ShowLevel();
    void OnVoiceChanged(int group);
    speech::Voice LearnerVoice() const;
    std::string ItemKeyStd() const;

    ProgramPaths m_paths;
    AttemptStore m_store;
    VowelTargets m_targets;
    bool m_haveTargets = false;
    int m_symbol = 0;
    double m_speed = 1.0;
    std::vector<PracticeItem> m_items;
    int m_item = 0;
    SoundPtr m_model;
    SoundPtr m_referenceS;           // the /s/ recording, against which θ and ʃ are judged
    std::vector<Attempt> m_attempts; // newest first
    int m_shown = -1;                // attempt in the lower picture

    std::unique_ptr<mplay::Recorder> m_recorder;
    std::string m_recordingItem; // the item a recording in progress belongs to
    QTimer m_meter;
    QTimer m_cursor;
    QTimer m_saveSize;
    double m_cursorSpeed = 1.0;
    QElapsedTimer m_playClock;
    std::vector<PlayPart> m_playParts;

    QLabel* m_title = nullptr;
    QComboBox* m_itemChooser = nullptr;
    QComboBox* m_voiceChooser = nullptr;
    SoundPicture* m_modelPicture = nullptr;
    SoundPicture* m_minePicture = nullptr;
    QStackedWidget* m_side = nullptr;
    VowelChart* m_chart = nullptr;
    QLabel* m_vowelReadouts = nullptr;
    QLabel* m_consonantReadouts = nullptr;
    QPushButton* m_btnModel = nullptr;
    QPushButton* m_btnRecord = nullptr;
    QPushButton* m_btnMine = nullptr;
    QPushButton* m_btnCompare = nullptr;
    QPushButton* m_btnDelete = nullptr;
    QComboBox* m_attemptChooser = nullptr;
    QProgressBar* m_level = nullptr;
    QLabel* m_message = nullptr;
};

} // namespace sonavix::practice
