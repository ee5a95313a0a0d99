// Settings files in the classic profile (INI) format, read and written the way the platform's
// profile functions do, so that files made on any system keep working:
//   - section and key names match without regard to ASCII case;
//   - CR, LF and CRLF line ends are all accepted; lines starting with ';' are comments;
//   - the first matching section and the first matching key in it win;
//   - writing one key rewrites only that key's value and leaves every other byte of the file;
//   - files marked as UTF-16 are read and rewritten in UTF-16;
//   - a missing file reads as empty and is created by the first write;
//   - failures are reported through the return value only, never to the user.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace sonavix::profile {

// Files larger than this are treated as unreadable: a settings file never comes near it, and
// it bounds what a hostile or mistaken path can make us load or rewrite.
inline constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

// The value of `key` in `section` of `text`, surrounding blanks and one pair of enclosing quotes
// removed; nullopt when the section or key is absent.
std::optional<QByteArray> FindValue(const QByteArray& text, const QByteArray& section,
                                    const QByteArray& key);

// All key/value pairs of the first matching section, in file order (values as FindValue).
QList<QPair<QByteArray, QByteArray>> SectionEntries(const QByteArray& text,
                                                    const QByteArray& section);

// `text` with `key` in `section` set to `value`: an existing key keeps its line and only the
// value changes; a new key goes after the section's last entry; a new section goes at the end.
// New lines use the line end the text already uses.
QByteArray WithValue(const QByteArray& text, const QByteArray& section, const QByteArray& key,
                     const QByteArray& value);

// The leading decimal integer of a value, as the platform's integer reader takes it: blanks,
// an optional sign, digits; anything else after them is ignored, no digits reads as 0.
int ParseInt(const QByteArray& value);

// GetPrivateProfileInt: the key's integer, or `defaultValue` when the file, section or key is
// missing, the value is empty, or the file cannot be read.
int ReadInt(const QString& section, const QString& key, int defaultValue, const QString& path);

// WritePrivateProfileString: sets the key, creating the file and section when needed. The file
// is replaced atomically, so a failed write leaves the old file whole. Returns false on failure.
bool WriteString(const QString& section, const QString& key, const QString& value,
                 const QString& path);

} // namespace sonavix::profile
