// The lesson window from the keyboard and through a screen reader's eyes, on the offscreen
// platform: every key, both ends of each direction, that a key move requests playback as a click
// does, that only Enter and Escape close; the speed chooser and its settings key written without
// touching another byte; the accessible names and the accessible focus; the reader and its zoom.
#include "common/LessonSettings.h"
#include "lesson/DlgSonavix.h"
#include "lesson/ReaderWindow.h"
#include "program_dir.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <memory>

namespace {

class LessonKeys : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApp();
        PlayRequests::Install();
        dir.Write(QStringLiteral("pho/0.rtf"), RtfWithText("rules 0"));
        dir.Write(QStringLiteral("pho/0-0.rtf"), RtfWithText("examples 0"));
    }
    void Open() {
        window = std::make_unique<CDlgSonavix>(dir.Path());
        window->show();
        QCoreApplication::processEvents();
        PlayRequests::Clear();
    }
    QTableWidget* List() const { return window->findChild<QTableWidget*>("m_listSymbols"); }
    void Key(Qt::Key key, QWidget* to = nullptr) {
        QTest::keyClick(to != nullptr ? to : List(), key);
    }
    int After(Qt::Key key) {
        Key(key);
        return window->CurrentSymbol();
    }
    std::string Media(int n) const {
        return (dir.Path() + QStringLiteral("pho/%1.mp3").arg(n)).toStdString();
    }
    QByteArray Settings() const {
        QFile f(dir.Path() + "SetInfo.ini");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    ProgramDir dir;
    std::unique_ptr<CDlgSonavix> window;
};

TEST_F(LessonKeys, ArrowsHomeAndEndMoveWithoutWrappingAndPlayAsClicks) {
    Open();
    EXPECT_EQ(After(Qt::Key_Left), 0); // first symbol: stays, plays again
    EXPECT_EQ(After(Qt::Key_Up), 0);
    EXPECT_EQ(After(Qt::Key_Right), 1);
    EXPECT_EQ(After(Qt::Key_Down), 8); // long vowels, same place
    EXPECT_EQ(After(Qt::Key_End), 44);
    EXPECT_EQ(After(Qt::Key_Right), 44);
    EXPECT_EQ(After(Qt::Key_Down), 44);
    EXPECT_EQ(After(Qt::Key_Up), 29); // dV is 15th; voiceless row has 9: its last, tF
    EXPECT_EQ(After(Qt::Key_Up), 20); // au
    EXPECT_EQ(After(Qt::Key_Up), 11); // long vowels have 5: E:
    EXPECT_EQ(After(Qt::Key_Home), 0);
    const std::vector<std::string> expected = {Media(0),  Media(0),  Media(1),  Media(8),
                                               Media(44), Media(44), Media(44), Media(29),
                                               Media(20), Media(11), Media(0)};
    EXPECT_EQ(PlayRequests::Take(), expected);
    // Typing a symbol's letter in the list does not move it behind the window's back.
    Key(Qt::Key_P);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(window->CurrentSymbol(), 0);
    EXPECT_EQ(List()->currentRow(), 0);
    EXPECT_EQ(List()->currentColumn(), 1);
}

TEST_F(LessonKeys, PlaybackKeysAndHooks) {
    Open();
    int practice = 0, drill = 0;
    QObject::connect(window.get(), &CDlgSonavix::openPracticeRequested, [&] { ++practice; });
    QObject::connect(window.get(), &CDlgSonavix::openDrillRequested, [&] { ++drill; });
    Key(Qt::Key_Space);
    EXPECT_EQ(PlayRequests::Take(), std::vector<std::string>{Media(0)});
    Key(Qt::Key_E);
    EXPECT_EQ(PlayRequests::Take(),
              std::vector<std::string>{(dir.Path() + "pho/0-0.mp3").toStdString()});
    auto* loop = window->findChild<QPushButton*>("m_btnLoopPlay");
    Key(Qt::Key_L);
    EXPECT_EQ(loop->text(), QStringLiteral("停止"));
    EXPECT_EQ(loop->accessibleName(), QStringLiteral("停止循环"));
    Key(Qt::Key_L);
    EXPECT_EQ(loop->text(), QStringLiteral("循环播放"));
    Key(Qt::Key_R);
    Key(Qt::Key_D);
    EXPECT_EQ(practice, 1);
    EXPECT_EQ(drill, 1);
    // Letters typed into a pane are typing, not commands; a focused button keeps its Space.
    auto* rules = window->findChild<QTextEdit*>("m_editRules");
    rules->setFocus();
    Key(Qt::Key_L, rules);
    EXPECT_EQ(loop->text(), QStringLiteral("循环播放"));
    auto* next = window->findChild<QPushButton*>("m_btnNext");
    next->setFocus();
    PlayRequests::Clear();
    Key(Qt::Key_Space, next);
    EXPECT_EQ(window->CurrentSymbol(), 1);
    // Nothing but Enter and Escape closes.
    for (Qt::Key key : {Qt::Key_Q, Qt::Key_F4, Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_X})
        Key(key);
    EXPECT_TRUE(window->isVisible());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(LessonKeys, SpeedStepsAppliesAndIsWrittenByteExactly) {
    const QByteArray windows = "; mine\r\n[Skin]\r\ndefault=3\r\n\r\n[Other]\r\nx = 1 \r\n";
    dir.Write("SetInfo.ini", windows);
    Open();
    auto* speed = window->findChild<QComboBox*>("m_comboSpeed");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->currentText(), QStringLiteral("1.0×"));
    EXPECT_EQ(Settings(), windows); // nothing written until the learner picks
    double heard = 0;
    QObject::connect(window.get(), &CDlgSonavix::playbackSpeedChanged,
                     [&](double s) { heard = s; });
    Key(Qt::Key_S);
    EXPECT_EQ(window->PlaybackSpeed(), 0.75);
    EXPECT_EQ(heard, 0.75);
    EXPECT_EQ(Settings(),
              "; mine\r\n[Skin]\r\ndefault=3\r\n\r\n[Other]\r\nx = 1 \r\n[Play]\r\nspeed=75\r\n");
    Key(Qt::Key_S);
    Key(Qt::Key_Space);
    Key(Qt::Key_E);
    EXPECT_EQ(PlayRequests::TakeSpeeds(), (std::vector<double>{0.5, 0.5}));
    EXPECT_EQ(speed->currentText(), QStringLiteral("0.5×"));
    Key(Qt::Key_S);
    EXPECT_EQ(window->PlaybackSpeed(), 1.0);
    speed->setCurrentIndex(2);
    emit speed->activated(2);
    EXPECT_EQ(Settings(),
              "; mine\r\n[Skin]\r\ndefault=3\r\n\r\n[Other]\r\nx = 1 \r\n[Play]\r\nspeed=50\r\n");
    // The next start plays at the saved speed; a value that is no choice reads as 1.0×.
    Open();
    EXPECT_EQ(window->PlaybackSpeed(), 0.5);
    EXPECT_EQ(sonavix::SavedPlaybackSpeed(sonavix::ProgramPaths::Resolve(dir.Path())), 0.5);
    dir.Write("SetInfo.ini", "[Play]\nspeed=33\n");
    Open();
    EXPECT_EQ(window->PlaybackSpeed(), 1.0);
}

TEST_F(LessonKeys, ScreenReaderSeesNamesAndTheMovingFocus) {
    QAccessible::setActive(true);
    Open();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(List());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("音标表"));
    ASSERT_NE(list->tableInterface(), nullptr);
    QAccessibleInterface* cell = list->tableInterface()->cellAt(0, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("短元音 ɪ"));
    EXPECT_EQ(list->tableInterface()->cellAt(4, 15)->text(QAccessible::Name),
              QStringLiteral("浊辅音 dʒ"));
    for (const char* name : {"m_btnFirst", "m_btnLast", "m_btnPrev", "m_btnNext", "m_btnReplay",
                             "m_btnLoopPlay", "m_btnPlayExample", "m_comboSpeed", "m_comboTheme",
                             "m_editRules", "m_editExamples", "m_web"}) {
        QAccessibleInterface* control =
            QAccessible::queryAccessibleInterface(window->findChild<QWidget*>(name));
        ASSERT_NE(control, nullptr) << name;
        EXPECT_FALSE(control->text(QAccessible::Name).isEmpty()) << name;
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window->findChild<QWidget*>("m_btnReplay"))
                  ->text(QAccessible::Name),
              QStringLiteral("重播"));
    auto* box = window->findChild<QWidget*>("m_editCurrent");
    EXPECT_EQ(box->accessibleName(), QStringLiteral("当前音标 短元音 ɪ"));

    Key(Qt::Key_Down);
    QAccessibleInterface* focus = list->focusChild();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->text(QAccessible::Name), QStringLiteral("长元音 iː"));
    EXPECT_TRUE(focus->state().focused);
    EXPECT_EQ(box->accessibleName(), QStringLiteral("当前音标 长元音 iː"));
    QAccessible::setActive(false);
}

TEST_F(LessonKeys, ReaderOpensFollowsZoomsAndRemembers) {
    Open();
    auto* rules = window->findChild<QTextEdit*>("m_editRules");
    QTest::mouseDClick(rules->viewport(), Qt::LeftButton);
    sonavix::ReaderWindow* reader = window->Reader();
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(reader->isVisible());
    EXPECT_TRUE(window->isVisible());
    const QString text = reader->View()->toPlainText();
    EXPECT_TRUE(text.contains("rules 0") && text.contains("examples 0"));
    EXPECT_EQ(reader->ZoomPercent(), sonavix::kDefaultZoomPercent);

    dir.Write(QStringLiteral("pho/1.rtf"), RtfWithText("rules 1"));
    QTest::keyClick(reader->View(), Qt::Key_Right); // follows the current symbol
    EXPECT_EQ(window->CurrentSymbol(), 1);
    EXPECT_TRUE(reader->View()->toPlainText().contains("rules 1"));

    const auto size = [&] {
        QTextCursor cursor = reader->View()->document()->find("rules 1");
        return cursor.charFormat().fontPointSize();
    };
    const double before = size();
    QTest::keyClick(reader->View(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(reader->ZoomPercent(), sonavix::kDefaultZoomPercent + 25);
    EXPECT_NEAR(size(), before * 175 / 150, 0.01);
    EXPECT_TRUE(Settings().contains("[Reader]\nzoom=175\n"));
    QTest::keyClick(reader->View(), Qt::Key_Escape); // closes the reader only
    EXPECT_FALSE(reader->isVisible());
    EXPECT_TRUE(window->isVisible());
    Key(Qt::Key_F);
    EXPECT_TRUE(window->Reader()->isVisible());
    EXPECT_EQ(window->Reader()->ZoomPercent(), 175);
}

} // namespace
