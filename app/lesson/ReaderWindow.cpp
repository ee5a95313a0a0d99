#include "lesson/ReaderWindow.h"

#include "common/LessonSettings.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <vector>

namespace sonavix {
namespace {

constexpr int kZoomStep = 25;
constexpr double kHeadingPoints = 12.0;
constexpr double kPlainPoints = 10.5; // text that names no size of its own

// Every character's size times factor. The documents give each run its own point size, so the
// view's font, which is all QTextEdit's zoom changes, would leave them as they are.
void ScaleType(QTextDocument& doc, double factor) {
    struct Run {
        int position, length;
        double points;
    };
    std::vector<Run> runs;
    std::vector<std::pair<int, double>> blocks; // empty paragraphs keep their line height
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const double blockPoints = block.charFormat().fontPointSize();
        blocks.emplace_back(block.position(), blockPoints > 0 ? blockPoints : kPlainPoints);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const double points = fragment.charFormat().fontPointSize();
            runs.push_back(
                {fragment.position(), fragment.length(), points > 0 ? points : kPlainPoints});
        }
    }
    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    for (const auto& [position, points] : blocks) {
        cursor.setPosition(position);
        QTextCharFormat format;
        format.setFontPointSize(points * factor);
        cursor.mergeBlockCharFormat(format);
    }
    for (const Run& run : runs) {
        cursor.setPosition(run.position);
        cursor.setPosition(run.position + run.length, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setFontPointSize(run.points * factor);
        cursor.mergeCharFormat(format);
    }
    cursor.endEditBlock();
}

void InsertHeading(QTextCursor& cursor, const QString& text, bool first) {
    QTextBlockFormat block;
    block.setTopMargin(first ? 0 : kHeadingPoints);
    block.setBottomMargin(kHeadingPoints / 2);
    QTextCharFormat format;
    format.setFontWeight(QFont::Bold);
    format.setFontPointSize(kHeadingPoints);
    if (first) {
        cursor.setBlockFormat(block);
        cursor.setBlockCharFormat(format);
    } else {
        cursor.insertBlock(block, format);
    }
    cursor.insertText(text, format);
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
}

} // namespace

ReaderWindow::ReaderWindow(int zoomPercent, QWidget* parent)
    : QDialog(parent), m_zoom(std::clamp(zoomPercent, kMinZoomPercent, kMaxZoomPercent)) {
    setObjectName(QStringLiteral("readerWindow"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    m_view = new QTextBrowser(this);
    m_view->setObjectName(QStringLiteral("readerView"));
    m_view->setOpenLinks(false);
    m_view->setAccessibleName(QStringLiteral("发音规则和发音举例"));
    m_view->setAccessibleDescription(
        QStringLiteral("Ctrl 加 + 或 − 缩放，Ctrl+0 复原；← → 上个、下个音标；空格重播；Esc 关闭"));
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_rules = new QTextDocument(this);
    m_examples = new QTextDocument(this);
    resize(640, 560);
}

void ReaderWindow::ShowDocuments(const QString& title, const QTextDocument& rules,
                                 const QTextDocument& examples) {
    const bool sameSymbol = title == m_title;
    m_title = title;
    setWindowTitle(QStringLiteral("阅读：%1").arg(title));
    delete m_rules;
    delete m_examples;
    m_rules = rules.clone(this);
    m_examples = examples.clone(this);
    const int scroll = m_view->verticalScrollBar()->value();
    Render();
    m_view->verticalScrollBar()->setValue(sameSymbol ? scroll : 0);
}

void ReaderWindow::Render() {
    QTextDocument* doc = m_view->document();
    doc->clear();
    QTextCursor cursor(doc);
    InsertHeading(cursor, QStringLiteral("发音规则"), true);
    cursor.insertFragment(QTextDocumentFragment(m_rules));
    InsertHeading(cursor, QStringLiteral("发音举例"), false);
    cursor.insertFragment(QTextDocumentFragment(m_examples));
    ScaleType(*doc, m_zoom / 100.0);
    m_view->moveCursor(QTextCursor::Start);
}

void ReaderWindow::ScrollTo(Section section) {
    QTextDocument* doc = m_view->document();
    QTextBlock block = doc->begin();
    if (section == Section::Examples) {
        // The second heading is the first bold block after the rules.
        const QString heading = QStringLiteral("发音举例");
        for (QTextBlock b = doc->lastBlock(); b.isValid(); b = b.previous())
            if (b.text() == heading) {
                block = b;
                break;
            }
    }
    const QRectF box = doc->documentLayout()->blockBoundingRect(block);
    m_view->verticalScrollBar()->setValue(static_cast<int>(box.top()));
}

void ReaderWindow::SetZoomPercent(int percent) {
    percent = std::clamp(percent, kMinZoomPercent, kMaxZoomPercent);
    if (percent == m_zoom)
        return;
    QScrollBar* bar = m_view->verticalScrollBar();
    const double at = bar->maximum() > 0 ? double(bar->value()) / bar->maximum() : 0.0;
    m_zoom = percent;
    Render();
    bar->setValue(static_cast<int>(at * bar->maximum() + 0.5));
    emit zoomChanged(m_zoom);
}

void ReaderWindow::ZoomIn() {
    SetZoomPercent(m_zoom + kZoomStep);
}
void ReaderWindow::ZoomOut() {
    SetZoomPercent(m_zoom - kZoomStep);
}
void ReaderWindow::ResetZoom() {
    SetZoomPercent(kDefaultZoomPercent);
}

bool ReaderWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int delta = wheel->angleDelta().y();
            if (delta > 0)
                ZoomIn();
            else if (delta < 0)
                ZoomOut();
            return true;
        }
    }
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
            switch (key->key()) {
            case Qt::Key_Plus:
            case Qt::Key_Equal:
                ZoomIn();
                return true;
            case Qt::Key_Minus:
            case Qt::Key_Underscore:
                ZoomOut();
                return true;
            case Qt::Key_0:
                ResetZoom();
                return true;
            default:
                break;
            }
        }
        if (mods == Qt::NoModifier) {
            switch (key->key()) {
            case Qt::Key_Left:
                emit previousRequested();
                return true;
            case Qt::Key_Right:
                emit nextRequested();
                return true;
            case Qt::Key_Space:
                emit replayRequested();
                return true;
            default:
                break;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace sonavix
