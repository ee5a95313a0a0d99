// Skin files in, application style, palette and style sheet out. A skin is read and checked
// whole before anything is applied, so a broken file can never leave a half-skinned window.
#include "themes/SkinLoader.h"

#include "common/BoundedFile.h"
#include "themes/ProfileIni.h"

#include <QApplication>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleFactory>

namespace sonavix {
namespace {

constexpr qint64 kMaxSkinFileSize = 1024 * 1024;

std::optional<QColor> ParseColor(const QByteArray& text) {
    const QColor c = QColor::fromString(QLatin1StringView(text.trimmed()));
    if (!c.isValid())
        return std::nullopt;
    return c;
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// Splits the text at its "[StyleSheet]" line: the header before it is profile text, everything
// after it is the sheet verbatim (a sheet is not key=value data).
void SplitSheet(const QString& text, QString& header, QString& sheet) {
    static const QRegularExpression marker(
        QStringLiteral(R"(^[ \t]*\[[ \t]*StyleSheet[ \t]*\][ \t]*\r?$)"),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = marker.match(text);
    if (!m.hasMatch()) {
        header = text;
        sheet.clear();
        return;
    }
    header = text.left(m.capturedStart());
    sheet = text.mid(m.capturedEnd());
}

bool BuildPalette(const QByteArray& header, QPalette& palette) {
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    QMap<QPalette::ColorRole, QColor> given;
    for (const auto& [key, value] : profile::SectionEntries(header, "Palette")) {
        bool ok = false;
        const int role = roles.keyToValue(key.constData(), &ok);
        const std::optional<QColor> c = ParseColor(value);
        if (!ok || role < 0 || role >= QPalette::NColorRoles || role == QPalette::NoRole || !c)
            return false;
        given.insert(QPalette::ColorRole(role), *c);
    }
    // The two-colour constructor derives the bevel shades; the given roles then override them.
    const QColor window = given.value(QPalette::Window, QColor(0xef, 0xef, 0xef));
    palette = QPalette(given.value(QPalette::Button, window), window);
    for (auto it = given.cbegin(); it != given.cend(); ++it)
        palette.setColor(it.key(), it.value());
    // Disabled text fades toward its background, legible but plainly inactive.
    const std::pair<QPalette::ColorRole, QPalette::ColorRole> fades[] = {
        {QPalette::WindowText, QPalette::Window},
        {QPalette::Text, QPalette::Base},
        {QPalette::ButtonText, QPalette::Button}};
    for (const auto& [text, back] : fades)
        palette.setColor(QPalette::Disabled, text,
                         Mix(palette.color(QPalette::Active, text),
                             palette.color(QPalette::Active, back), 0.55));
    return true;
}

// Replaces every "@Name" with its colour; an unknown name makes the skin malformed.
bool ResolveSheet(QString& sheet, const QPalette& palette, const QMap<QString, QColor>& colors) {
    static const QRegularExpression token(QStringLiteral(R"(@([A-Za-z][A-Za-z0-9]*))"));
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    QString out;
    out.reserve(sheet.size());
    qsizetype last = 0;
    for (auto it = token.globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        QColor c;
        if (colors.contains(name)) {
            c = colors.value(name);
        } else {
            // "@DisabledButtonText" is the disabled group's colour of a role.
            const bool disabled = name.startsWith(QLatin1StringView("Disabled"));
            const QString role = disabled ? name.mid(8) : name;
            bool ok = false;
            const int v = roles.keyToValue(role.toLatin1().constData(), &ok);
            if (!ok || v < 0 || v >= QPalette::NColorRoles || v == QPalette::NoRole)
                return false;
            c = palette.color(disabled ? QPalette::Disabled : QPalette::Active,
                              QPalette::ColorRole(v));
        }
        out += QStringView(sheet).sliced(last, m.capturedStart() - last);
        out += c.alpha() == 255 ? c.name(QColor::HexRgb) : c.name(QColor::HexArgb);
        last = m.capturedEnd();
    }
    out += QStringView(sheet).sliced(last);
    sheet = out;
    return true;
}

// A file named inside a skin directory must stay inside it.
bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) &&
           !name.contains(QLatin1Char('\\')) && name != QLatin1StringView("..") &&
           name != QLatin1StringView(".");
}

struct PlainLook {
    QString style;
    QPalette palette;
};

// The look the application had before the first skin, taken once so it can be restored.
const PlainLook& Plain() {
    static const PlainLook plain{QApplication::style()->name(), QApplication::palette()};
    return plain;
}

void ApplyPlain() {
    const PlainLook& plain = Plain();
    qApp->setStyleSheet(QString());
    if (QApplication::style()->name().compare(plain.style, Qt::CaseInsensitive) != 0)
        if (QStyle* s = QStyleFactory::create(plain.style))
            QApplication::setStyle(s);
    QApplication::setPalette(plain.palette);
}

} // namespace

SkinRef SkinForTheme(int nTheme, const QString& stylesDir) {
    switch (nTheme) {
    case 1:
        return {stylesDir + QStringLiteral("iTunes"), QStringLiteral("Normalitunes.INI")};
    case 2:
        return {stylesDir + QStringLiteral("Le5"), QStringLiteral("NormalBlue.INI")};
    case 3:
        return {stylesDir + QStringLiteral("WinXP.Luna.cjstyles"), QString()};
    case 4:
        return {stylesDir + QStringLiteral("WinXP.Royale.cjstyles"), QString()};
    case 5:
        return {stylesDir + QStringLiteral("Office2007.cjstyles"), QString()};
    case 6:
        return {stylesDir + QStringLiteral("Vista.cjstyles"), QString()};
    default:
        return {QLatin1StringView(""), QLatin1StringView("")};
    }
}

QString StylesDirFor(const QString& programPath) {
    const qsizetype cut = programPath.lastIndexOf(QLatin1Char('/'));
    // No directory part means the current directory, never the file system's root.
    if (cut < 0)
        return QStringLiteral("Styles/");
    return programPath.left(cut) + QStringLiteral("/Styles/");
}

std::optional<Skin> ReadSkin(const QString& skinPath, const QString& iniName) {
    if (skinPath.isEmpty())
        return std::nullopt;
    const bool directorySkin = !iniName.isEmpty();
    if (directorySkin && !IsPlainFileName(iniName))
        return std::nullopt;
    const QString file = directorySkin ? skinPath + QLatin1Char('/') + iniName : skinPath;
    const std::optional<QByteArray> bytes = ReadBoundedFile(file, kMaxSkinFileSize);
    if (!bytes)
        return std::nullopt;

    QString headerText;
    Skin skin;
    SplitSheet(QString::fromUtf8(*bytes), headerText, skin.styleSheet);
    const QByteArray header = headerText.toUtf8();

    const auto info = [&](const char* key) {
        return QString::fromUtf8(profile::FindValue(header, "Skin", key).value_or(QByteArray()));
    };
    skin.name = info("Name");
    if (const QString style = info("Style"); !style.isEmpty())
        skin.style = style;
    if (!QStyleFactory::keys().contains(skin.style, Qt::CaseInsensitive))
        return std::nullopt;

    if (const QString sheetFile = info("StyleSheet"); !sheetFile.isEmpty()) {
        if (!directorySkin || !IsPlainFileName(sheetFile))
            return std::nullopt;
        const std::optional<QByteArray> sheet =
            ReadBoundedFile(skinPath + QLatin1Char('/') + sheetFile, kMaxSkinFileSize);
        if (!sheet)
            return std::nullopt;
        skin.styleSheet = QString::fromUtf8(*sheet) + skin.styleSheet;
    }

    if (!BuildPalette(header, skin.palette))
        return std::nullopt;
    for (const auto& [key, value] : profile::SectionEntries(header, "Colors")) {
        const std::optional<QColor> c = ParseColor(value);
        if (!c)
            return std::nullopt;
        skin.colors.insert(QString::fromUtf8(key), *c);
    }
    if (!ResolveSheet(skin.styleSheet, skin.palette, skin.colors))
        return std::nullopt;
    return skin;
}

bool LoadSkin(const QString& skinPath, const QString& iniName) {
    Plain(); // before the first change, whatever it is
    const std::optional<Skin> skin = ReadSkin(skinPath, iniName);
    if (!skin) {
        ApplyPlain();
        return skinPath.isEmpty();
    }
    QStyle* style = QStyleFactory::create(skin->style);
    if (!style) {
        ApplyPlain();
        return false;
    }
    // Sheet off first: a new style under an old sheet would be polished twice for nothing.
    qApp->setStyleSheet(QString());
    QApplication::setStyle(style);
    QApplication::setPalette(skin->palette);
    qApp->setStyleSheet(skin->styleSheet);
    return true;
}

} // namespace sonavix
