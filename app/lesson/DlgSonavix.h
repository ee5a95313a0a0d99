#pragma once
// The lesson window: the symbol list, the current-symbol box, the rules and examples panes, the
// navigation and playback buttons, the theme chooser, three links and the home-page pane.
// Fixed size: every rectangle comes from the dialog template in dialog units (DialogUnits.h).

#include "common/ProgramPaths.h"

#include <QDialog>
#include <QFont>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTextBrowser;
class QTextEdit;
namespace sonavix::drill {
class DlgDrill;
}

class CDlgSonavix : public QDialog {
    Q_OBJECT

  public:
    // appDir is the program directory with a closing "/"; the data and settings paths are found
    // from it (common/ProgramPaths.h).
    explicit CDlgSonavix(const QString& appDir, QWidget* parent = nullptr);
    ~CDlgSonavix() override;

    int CurrentSymbol() const { return m_nCurrent; }

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
    // Opens the minimal-pair drills (button and key D).
    void OnDrill();

    // Themes (DlgSonavixTheme.cpp).
    void ApplyTheme();
    void RefreshTheme();
    void OnSelchangeTheme();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    // Reads the saved theme and loads its skin; run by the constructor before the window shows.
    void LoadSavedTheme();
    bool OnInitDialog();
    // True once the window exists on screen (OnInitDialog has begun): a theme change repaints.
    bool IsWindowCreated() const { return m_bWindowCreated; }
    // Shows the program's home page in the web pane.
    void NavigateHome();
    void SetCurrentBoxText(const QString& code);
    void StartWorker(const QString& path) const;
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
    QFont m_fontList;
    QFont m_fontCurrent;
    QStringList m_arrSymbols;
    int m_nCurrent = 0;
    QString m_strStylesDir;
    int m_nTheme = 1;

    const sonavix::ProgramPaths m_paths;
    bool m_bWindowCreated = false;
    sonavix::drill::DlgDrill* m_drill = nullptr;
};
