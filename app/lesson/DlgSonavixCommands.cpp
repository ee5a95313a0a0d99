// The lesson window's commands: which symbol is current, what each pane shows, and when a
// playback worker is started. The window writes the repeat flag before it starts the worker
// that should see it, and never waits for a worker.

#include "lesson/DlgSonavix.h"

#include "common/SymbolFont.h"
#include "lesson/SymbolCatalogue.h"
#include "rtf/RtfReader.h"

#include "mplay/PlayThread.h"

#include <algorithm>

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFontMetrics>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
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
    mplay::StartPlayWorker(QFile::encodeName(path).toStdString());
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
    m_listSymbols->setFocus();
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

void CDlgSonavix::OnReplay() {
    SelectCurrent();
}

void CDlgSonavix::OnClickList(const QPoint& pos) {
    // Only a point on a cell counts; the space below the rows and column 0 (zero wide) never do.
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
        m_btnLoopAll->setEnabled(false);
        mplay::g_bRepeat.store(1);
        StartWorker(MediaPath(sonavix::RecordingFile(m_nCurrent)));
    } else if (caption == kStop) {
        mplay::g_bRepeat.store(0);
        m_btnLoopPlay->setText(kLoopPlay);
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
