// The lesson window's appearance: the saved theme number in, a skin applied to the whole
// application out. The number lives in SetInfo.ini ([Skin] default=N; where that file is, see
// common/ProgramPaths.h); it is read once at construction and written on every pick, before the
// skin is tried, so a skin that fails to load is still remembered and tried again at the next
// start.
#include "lesson/DlgSonavix.h"
#include "themes/ProfileIni.h"
#include "themes/SkinLoader.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QStyle>

namespace {

const QString kSection = QStringLiteral("Skin");
const QString kKey = QStringLiteral("default");

} // namespace

void CDlgSonavix::LoadSavedTheme() {
    m_strStylesDir = sonavix::StylesDirFor(m_paths.DataDir());
    // The first file that holds the key wins; each later one gives the default of the one before.
    m_nTheme = 1;
    const QStringList files = m_paths.SettingsReadOrder();
    for (auto file = files.crbegin(); file != files.crend(); ++file)
        m_nTheme = sonavix::profile::ReadInt(kSection, kKey, m_nTheme, *file);
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
    const QString file = m_paths.SettingsFile();
    QDir().mkpath(QFileInfo(file).path()); // the user's configuration folder may not exist yet
    sonavix::profile::WriteString(kSection, kKey, QString::number(m_nTheme), file);
    ApplyTheme();
    NavigateHome();
}
