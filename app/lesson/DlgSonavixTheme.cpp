// The lesson window's appearance: the saved theme number in, a skin applied to the whole
// application out. The number lives in SetInfo.ini beside the program ([Skin] default=N); it is
// read once at construction and written on every pick, before the skin is tried, so a skin that
// fails to load is still remembered and tried again at the next start.
#include "lesson/DlgSonavix.h"
#include "themes/ProfileIni.h"
#include "themes/SkinLoader.h"

#include <QComboBox>
#include <QStyle>

namespace {

const QString kSection = QStringLiteral("Skin");
const QString kKey = QStringLiteral("default");

} // namespace

void CDlgSonavix::LoadSavedTheme() {
    // m_strAppDir is the program path cut after its last separator, so cutting once more gives
    // the program's directory without it.
    m_strStylesDir = sonavix::StylesDirFor(m_strAppDir);
    m_nTheme = sonavix::profile::ReadInt(kSection, kKey, 1, m_strAppDir + QStringLiteral("/SetInfo.ini"));
    ApplyTheme();
}

void CDlgSonavix::ApplyTheme() {
    const sonavix::SkinRef skin = sonavix::SkinForTheme(m_nTheme, m_strStylesDir);
    sonavix::LoadSkin(skin.path, skin.iniName);
    if (IsWindowCreated())
        RefreshTheme();
}

void CDlgSonavix::RefreshTheme() {
    // Re-polish everything with updates held, then paint the whole window in one pass, so the
    // user never sees a mix of the old and the new look.
    setUpdatesEnabled(false);
    QList<QWidget*> widgets = findChildren<QWidget*>();
    widgets.prepend(this);
    for (QWidget* w : widgets) {
        w->style()->unpolish(w);
        w->style()->polish(w);
        w->update();
    }
    setUpdatesEnabled(true);
    repaint();
}

void CDlgSonavix::OnSelchangeTheme() {
    m_nTheme = m_comboTheme->currentIndex() + 1;
    // Nothing to tell the user if the file cannot be written: the theme still changes.
    sonavix::profile::WriteString(kSection, kKey, QString::number(m_nTheme),
                            m_strAppDir + QStringLiteral("/SetInfo.ini"));
    ApplyTheme();
    NavigateHome();
}
