#pragma once
// The reader: the current symbol's rules and examples in a resizable window with larger type.
// The lesson window's panes stay three lines tall; this is where the lessons are read. Zoom with
// Ctrl and + / − (or the wheel), Ctrl+0 back to the usual size; Escape closes. ← and → step to the
// previous and next symbol and Space replays, as in the lesson window, so the reader can follow
// the lessons without going back to it.

#include <QDialog>

class QTextBrowser;
class QTextDocument;

namespace sonavix {

class ReaderWindow : public QDialog {
    Q_OBJECT

  public:
    enum class Section { Rules, Examples };

    ReaderWindow(int zoomPercent, QWidget* parent);

    // Shows copies of the two documents under their headings; the scroll position is kept when
    // only the documents change and reset when the symbol does.
    void ShowDocuments(const QString& title, const QTextDocument& rules,
                       const QTextDocument& examples);
    void ScrollTo(Section section);

    int ZoomPercent() const { return m_zoom; }
    void SetZoomPercent(int percent);
    void ZoomIn();
    void ZoomOut();
    void ResetZoom();

    QTextBrowser* View() const { return m_view; }

  signals:
    void zoomChanged(int percent);
    void previousRequested();
    void nextRequested();
    void replayRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Render();

    QTextBrowser* m_view = nullptr;
    QTextDocument* m_rules = nullptr; // the shown copies, at their own type size
    QTextDocument* m_examples = nullptr;
    QString m_title;
    int m_zoom;
};

} // namespace sonavix
