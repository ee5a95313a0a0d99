#pragma once
// The lesson window: the symbol list, the current-symbol box, the rules and examples panes, the
// navigation and playback buttons, the speed and theme choosers, three links and the home-page
// pane. Fixed size: every rectangle comes from the dialog template in dialog units
// (DialogUnits.h). Every command has a key (DlgSonavixKeys.cpp) and every control a name a screen
// reader speaks (DlgSonavixAccess.cpp).

#include "common/ProgramPaths.h"

#include <QDialog>
#include <QFont>
#include <QString>
#include <QStringList>

namespace sonavix {
class FocusRing;
class ReaderWindow;
} // namespace sonavix

class QComboBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTableWidget;
class QTextBrowser;
class QTextEdit;
namespace sonavix::drill {
class DlgDrill;
}
namespace sonavix::practice {
class DlgPractice;
}

class CDlgSonavix : public QDialog {
    Q_OBJECT

  public:
    // appDir is the program directory with a closing "/"; the data and settings paths are found
    // from it (common/ProgramPaths.h).
    explicit CDlgSonavix(const QString& appDir, QWidget* parent = nullptr);
    ~CDlgSonavix() override;

    int CurrentSymbol() const { return m_nCurrent; }
    // The speed the lesson recordings play at (1.0, 0.75 or 0.5), as chosen in "语速" and saved
    // in the settings file; the practice window plays its model at it too.
    double PlaybackSpeed() const;
    int PlaybackSpeedPercent() const { return m_nSpeed; }
    // The reader window once it has been opened (it stays, hidden, after it closes).
    sonavix::ReaderWindow* Reader() const { return m_reader; }

    // Navigation and playback commands.
    void SelectCurrent();
    void OnFirst();
    void OnLast();
    void OnNext();
    void OnPrev();
    void OnReplay();
    // A click in the list at pos (list viewport coordinates).
    void OnClickList(const QPoint& pos);
    void OnLoopPlay();
    void OnPlayExample();
    void OnLoopAll();
    // ↑ and ↓: the same place in the row above or below.
    void OnRowUp();
    void OnRowDown();
    // "语速": a pick in the chooser, or the S key's step to the next speed.
    void OnSelchangeSpeed();
    void OnStepSpeed();
    // Opens (or raises) the reader on the current symbol's documents, at one of them.
    void OpenReader(bool atExamples = false);
    // Opens the minimal-pair drills (button and key D).
    void OnDrill();
    // Opens the practice window on the current symbol (button and key R).
    void OnPractice();
    // The practice window once opened; it follows the current symbol.
    sonavix::practice::DlgPractice* Practice() const { return m_practice; }

    // Themes (DlgSonavixTheme.cpp).
    void ApplyTheme();
    void RefreshTheme();
    void OnSelchangeTheme();

  signals:
    // R and D: the practice and drill windows, which are opened by whoever listens.
    void openPracticeRequested();
    void openDrillRequested();
    void playbackSpeedChanged(double speed);
    // Whenever a symbol becomes the current one (SelectCurrent).
    void currentSymbolChanged(int n);

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    // Accessible names, descriptions and tooltips of the controls (DlgSonavixAccess.cpp).
    void DescribeControls();
    void DescribeCurrent();
    void DescribeLoopButton();
    // The window's own keys; true when the key was taken (DlgSonavixKeys.cpp).
    bool OnListKey(const QKeyEvent& key);
    bool OnCommandKey(const QKeyEvent& key);
    // The list's current cell (its focus mark and the screen reader's focus) on m_nCurrent.
    void SyncCurrentCell();
    void RefreshReader();
    // Reads the saved theme and loads its skin; run by the constructor before the window shows.
    void LoadSavedTheme();
    bool OnInitDialog();
    // True once the window exists on screen (OnInitDialog has begun): a theme change repaints.
    bool IsWindowCreated() const { return m_bWindowCreated; }
    // Shows the program's home page in the web pane.
    void NavigateHome();
    void SetCurrentBoxText(const QString& code);
    void StartWorker(const QString& path) const;
    void SetSpeedPercent(int percent);
    QString MediaPath(const QString& suffix) const;
    static bool LoadDocument(const QString& path, QTextEdit* pane);

    // Controls, in the order the data exchange attaches them.
    QComboBox* m_comboTheme = nullptr;
    QTableWidget* m_listSymbols = nullptr;
    QTextEdit* m_editCurrent = nullptr;
    QPushButton* m_btnLoopPlay = nullptr;
    QPushButton* m_btnLoopAll = nullptr;
    QTextEdit* m_editRules = nullptr;
    QTextEdit* m_editExamples = nullptr;
    QPushButton* m_btnReplay = nullptr;
    QPushButton* m_btnPlayExample = nullptr;
    QPushButton* m_btnFirst = nullptr;
    QPushButton* m_btnLast = nullptr;
    QPushButton* m_btnNext = nullptr;
    QPushButton* m_btnPrev = nullptr;
    QLabel* m_linkSite = nullptr;
    QLabel* m_linkIntro = nullptr;
    QLabel* m_linkRecommend = nullptr;
    QTextBrowser* m_web = nullptr;
    QComboBox* m_comboSpeed = nullptr;
    QFont m_fontList;
    QFont m_fontCurrent;
    QStringList m_arrSymbols;
    int m_nCurrent = 0;
    QString m_strStylesDir;
    int m_nTheme = 1;
    int m_nSpeed = 100; // percent
    sonavix::FocusRing* m_focusRing = nullptr;
    sonavix::ReaderWindow* m_reader = nullptr;

    const sonavix::ProgramPaths m_paths;
    bool m_bWindowCreated = false;
    sonavix::drill::DlgDrill* m_drill = nullptr;
    sonavix::practice::DlgPractice* m_practice = nullptr;
};
