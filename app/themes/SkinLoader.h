// Appearance skins: one file per skin in our own format, applied to the whole application.
//
// A skin file is a profile (INI) text:
//   [Skin]     Name=..., Style=<Qt style, default Fusion>,
//              StyleSheet=<file beside the INI, directory skins only>
//   [Palette]  QPalette roles by name (Window=#rrggbb, ...); disabled text is derived by
//              fading the text toward its background
//   [Colors]   extra named colours for the style sheet; a name that begins with a background
//              role (ButtonTop, WindowEdge) is a shade of that background, so that role's text
//              colour must read on it as well
//   [StyleSheet]  a Qt style sheet to the end of the file; "@Name" stands for a palette role
//              ("@DisabledName" for its disabled colour) or a [Colors] entry, so every colour a
//              skin draws is declared above and checked
// Directory skins (a directory plus the INI name inside it) may keep the sheet in its own file;
// package skins are the one file alone.
#pragma once

#include <QColor>
#include <QMap>
#include <QPalette>
#include <QString>

#include <optional>

namespace sonavix {

struct Skin {
    QString name;
    QString style = QStringLiteral("Fusion");
    QPalette palette;
    QMap<QString, QColor> colors; // the [Colors] section
    QString styleSheet;           // with every "@Name" already replaced
};

// What the window hands to LoadSkin for a theme number; both empty for a number outside 1..6.
struct SkinRef {
    QString path;
    QString iniName; // null for the single-file packages
};

SkinRef SkinForTheme(int nTheme, const QString& stylesDir);

// The skin directory for a program at `programPath`: its directory without the closing
// separator, then "/Styles/", so the skin paths hold exactly one separator on each side.
QString StylesDirFor(const QString& programPath);

// Reads and checks a skin without applying it; nullopt when it is missing or malformed.
std::optional<Skin> ReadSkin(const QString& skinPath, const QString& iniName);

// Applies the skin to the whole application. An empty path gives the plain look, and so does a
// skin that cannot be loaded: nothing is reported, the result only tells tests what happened.
bool LoadSkin(const QString& skinPath, const QString& iniName);

} // namespace sonavix
