#pragma once
// Where the program finds its data and where it keeps what it writes.
//
// Run from the build tree or from an unpacked directory, everything lies beside the executable,
// and the settings file too while that directory is writable. Installed under a prefix, the data
// is in <prefix>/share/sonavix (found as ../share/sonavix from the executable, whatever the
// prefix) and the settings file is the user's: nothing is ever written under the prefix.

#include <QString>
#include <QStringList>

namespace sonavix {

// The user's base directories, from the environment by default. Relative XDG values are ignored,
// as the base-directory rules require.
struct UserDirs {
    QString home;
    QString configHome; // $XDG_CONFIG_HOME, else ~/.config
    QString dataHome;   // $XDG_DATA_HOME, else ~/.local/share

    static UserDirs FromEnvironment();
};

class ProgramPaths {
  public:
    using WritableProbe = bool (*)(const QString& dir);

    // programDir is the executable's directory with its closing "/" (empty: the current
    // directory). isWritable decides whether settings may be written beside the program.
    static ProgramPaths Resolve(const QString& programDir,
                                const UserDirs& user = UserDirs::FromEnvironment(),
                                WritableProbe isWritable = IsWritableDirectory);

    static bool IsWritableDirectory(const QString& dir);

    const QString& ProgramDir() const { return m_programDir; }
    // Lessons, skins (themes/SkinLoader.h finds them), the home page and the symbol font; ends in
    // "/" unless empty.
    const QString& DataDir() const { return m_dataDir; }
    // True when the data came from ../share/sonavix, that is the program is installed.
    bool IsInstalled() const { return m_installed; }

    // A file of the data directory, e.g. "pho/0.mp3".
    QString Data(const QString& relative) const { return m_dataDir + relative; }
    QString HomePage() const { return Data(QStringLiteral("web/index.html")); }
    QString SymbolFontFile() const;

    // The settings file a theme pick is written to.
    const QString& SettingsFile() const { return m_settingsFile; }
    // The settings files to read, the first holding a value wins: the one written to, then the
    // one beside the program when that is another (a copy shipped with a read-only directory).
    QStringList SettingsReadOrder() const;

    // Where later features keep what the learner makes ($XDG_DATA_HOME/sonavix/); not created
    // here.
    const QString& LearnerDataDir() const { return m_learnerDataDir; }

  private:
    QString m_programDir;
    QString m_dataDir;
    bool m_installed = false;
    QString m_settingsFile;
    QString m_besideProgramSettings;
    QString m_learnerDataDir;
};

} // namespace sonavix
