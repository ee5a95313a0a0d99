// The lesson window's commands: which symbol is current, what each pane shows, and when a
// playback worker is started. The window writes the repeat flag before it starts the worker
// that should see it, and never waits for a worker.

#include "lesson/DlgSonavix.h"

#include "common/LessonSettings.h"
#include "common/SymbolFont.h"
#include "lesson/ReaderWindow.h"
#include "lesson/SymbolCatalogue.h"
#include "rtf/RtfReader.h"

#include "mplay/PlayThread.h"

#include <algorithm>

#include <QAbstractTextDocumentLayout>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextEdit>

namespace {

const QString kLoopPlay = QStringLiteral("循环播放");
const QString kLoopAll = QStringLiteral("整体循环");
const QString kStop = QStringLiteral("停止");

} // namespace

void CDlgSonavix::SetCurrentBoxText(const QString& code) {
    m_editCurrent->setPlainText(code);
    // The phonetic face's line box is far taller than its ink: scroll the line so that the ink
    // of the symbols sits in the middle of the box instead of running off its bottom.
    const QFontMetrics metrics(m_editCurrent->font());
    const int baseline =
        sonavix::InkCentredBaseline(metrics, 0, m_editCurrent->viewport()->height());
    const double margin = m_editCurrent->document()->documentMargin();
    m_editCurrent->document()->documentLayout()->documentSize(); // lays the line out now
    QScrollBar* scroll = m_editCurrent->verticalScrollBar();
    scroll->setValue(
        std::clamp(static_cast<int>(margin) + metrics.ascent() - baseline, 0, scroll->maximum()));
}

QString CDlgSonavix::MediaPath(const QString& file) const {
    return m_paths.Data(file);
}

void CDlgSonavix::StartWorker(const QString& path) const {
    mplay::StartPlayWorker(QFile::encodeName(path).toStdString(), PlaybackSpeed());
}

bool CDlgSonavix::LoadDocument(const QString& path, QTextEdit* pane) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    // The document is handed over as text: it ends at its first zero byte.
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    sonavix::ReadRtf(bytes, *pane->document());
    return true;
}

void CDlgSonavix::SelectCurrent() {
    const int n = m_nCurrent;
    SetCurrentBoxText(m_arrSymbols.value(n));
    LoadDocument(MediaPath(sonavix::RulesFile(n)), m_editRules);
    mplay::g_bRepeat.store(0);
    StartWorker(MediaPath(sonavix::RecordingFile(n)));
    LoadDocument(MediaPath(sonavix::ExamplesFile(n)), m_editExamples);
    DescribeCurrent();
    RefreshReader();
    m_listSymbols->setFocus();
    SyncCurrentCell();
    emit currentSymbolChanged(n);
}

void CDlgSonavix::SyncCurrentCell() {
    const sonavix::SymbolPlace place = sonavix::PlaceOf(m_nCurrent);
    if (place.row >= 0 && m_listSymbols->rowCount() > place.row)
        m_listSymbols->setCurrentCell(place.row, place.index + 1);
}

void CDlgSonavix::OnFirst() {
    m_nCurrent = 0;
    SelectCurrent();
}

void CDlgSonavix::OnLast() {
    m_nCurrent = static_cast<int>(m_arrSymbols.size()) - 1;
    SelectCurrent();
}

void CDlgSonavix::OnNext() {
    const int last = static_cast<int>(m_arrSymbols.size()) - 1;
    m_nCurrent = std::min(m_nCurrent + 1, last);
    SelectCurrent();
}

void CDlgSonavix::OnPrev() {
    m_nCurrent = std::max(m_nCurrent - 1, 0);
    SelectCurrent();
}

void CDlgSonavix::OnRowUp() {
    m_nCurrent = sonavix::SymbolInRow(m_nCurrent, -1);
    SelectCurrent();
}

void CDlgSonavix::OnRowDown() {
    m_nCurrent = sonavix::SymbolInRow(m_nCurrent, +1);
    SelectCurrent();
}

void CDlgSonavix::OnReplay() {
    SelectCurrent();
}

void CDlgSonavix::OnClickList(const QPoint& pos) {
    // Only a point on a cell counts; the space below the rows and column 0 (zero wide) never do.
    // The press has moved the list's current cell; it goes back to the current symbol whatever
    // the click does.
    SyncCurrentCell();
    const QModelIndex index = m_listSymbols->indexAt(pos);
    if (!index.isValid() || m_listSymbols->columnWidth(index.column()) == 0)
        return;
    const QTableWidgetItem* item = m_listSymbols->item(index.row(), index.column());
    const QString cellText = item != nullptr ? item->text() : QString();
    const QString boxText = m_editCurrent->toPlainText();
    if (cellText.isEmpty())
        return;
    if (cellText != boxText) {
        const int found = sonavix::FindSymbol(m_arrSymbols, cellText);
        if (found >= 0) {
            m_nCurrent = found;
            SetCurrentBoxText(cellText);
        }
    }
    SelectCurrent();
}

void CDlgSonavix::OnLoopPlay() {
    const QString caption = m_btnLoopPlay->text();
    if (caption == kLoopPlay) {
        m_btnLoopPlay->setText(kStop);
        DescribeLoopButton();
        m_btnLoopAll->setEnabled(false);
        mplay::g_bRepeat.store(1);
        StartWorker(MediaPath(sonavix::RecordingFile(m_nCurrent)));
    } else if (caption == kStop) {
        mplay::g_bRepeat.store(0);
        m_btnLoopPlay->setText(kLoopPlay);
        DescribeLoopButton();
        m_btnLoopAll->setEnabled(true);
    }
}

void CDlgSonavix::OnPlayExample() {
    mplay::g_bRepeat.store(0);
    StartWorker(MediaPath(sonavix::ExampleRecordingFile(m_nCurrent)));
    m_listSymbols->setFocus();
}

void CDlgSonavix::OnLoopAll() {
    const QString caption = m_btnLoopAll->text();
    if (caption == kLoopAll) {
        m_btnLoopAll->setText(kStop);
        m_btnLoopPlay->setEnabled(false);
    } else if (caption == kStop) {
        m_btnLoopAll->setText(kLoopAll);
        m_btnLoopPlay->setEnabled(true);
    }
}

double CDlgSonavix::PlaybackSpeed() const {
    return sonavix::SpeedFactor(m_nSpeed);
}

void CDlgSonavix::SetSpeedPercent(int percent) {
    m_nSpeed = sonavix::KnownSpeedPercent(percent);
    m_comboSpeed->setCurrentIndex(m_comboSpeed->findData(m_nSpeed));
    // As with the theme: nothing to tell the user if the file cannot be written.
    sonavix::WriteSpeedPercent(m_paths, m_nSpeed);
    emit playbackSpeedChanged(PlaybackSpeed());
}

void CDlgSonavix::OnSelchangeSpeed() {
    SetSpeedPercent(m_comboSpeed->currentData().toInt());
}

void CDlgSonavix::OnStepSpeed() {
    SetSpeedPercent(sonavix::NextSpeedPercent(m_nSpeed));
}

void CDlgSonavix::OpenReader(bool atExamples) {
    if (m_reader == nullptr) {
        m_reader = new sonavix::ReaderWindow(sonavix::ReadZoomPercent(m_paths), this);
        connect(m_reader, &sonavix::ReaderWindow::zoomChanged, this,
                [this](int percent) { sonavix::WriteZoomPercent(m_paths, percent); });
        connect(m_reader, &sonavix::ReaderWindow::previousRequested, this, &CDlgSonavix::OnPrev);
        connect(m_reader, &sonavix::ReaderWindow::nextRequested, this, &CDlgSonavix::OnNext);
        connect(m_reader, &sonavix::ReaderWindow::replayRequested, this, &CDlgSonavix::OnReplay);
    }
    m_reader->show();
    RefreshReader();
    m_reader->ScrollTo(atExamples ? sonavix::ReaderWindow::Section::Examples
                                  : sonavix::ReaderWindow::Section::Rules);
    m_reader->raise();
    m_reader->activateWindow();
    m_reader->View()->setFocus();
}

void CDlgSonavix::RefreshReader() {
    if (m_reader == nullptr || !m_reader->isVisible())
        return;
    m_reader->ShowDocuments(sonavix::SpokenName(m_nCurrent), *m_editRules->document(),
                            *m_editExamples->document());
}
