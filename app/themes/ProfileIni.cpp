// Profile (INI) files as byte text. The file is never parsed into a model and written back:
// every operation scans the original bytes line by line and, for a write, splices the new value
// into them, which is what keeps comments, blank lines, spacing, other sections, odd bytes and
// the file's own line ends exactly as they were.
#include "themes/ProfileIni.h"

#include "common/BoundedFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cstdint>

namespace sonavix::profile {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Case folding for names: ASCII only, as the names this program uses are ASCII and a locale's
// idea of case must not change which key a file's line means.
char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool SameName(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

struct Span {
    qsizetype begin = 0;
    qsizetype end = 0; // exclusive
};

enum class Kind { Blank, Comment, Section, Entry };

// One physical line: [begin, end) is its content, `next` the start of the following line.
struct Line {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype next = 0;
    Kind kind = Kind::Blank;
    Span name;          // section or key name, trimmed
    Span value;         // entry value, trimmed (quotes kept), empty for "key" without '='
    bool hasEq = false; // entry has a '='
};

Span Trimmed(const QByteArray& t, qsizetype b, qsizetype e) {
    while (b < e && IsBlank(t[b]))
        ++b;
    while (e > b && IsBlank(t[e - 1]))
        --e;
    return {b, e};
}

class LineScanner {
  public:
    explicit LineScanner(const QByteArray& text) : m_text(text) {
        // A UTF-8 mark at the start belongs to no line.
        if (m_text.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
    }

    bool Next(Line& line) {
        if (m_pos >= m_text.size())
            return false;
        line = Line{};
        line.begin = m_pos;
        qsizetype e = m_pos;
        while (e < m_text.size() && m_text[e] != '\r' && m_text[e] != '\n')
            ++e;
        line.end = e;
        if (e < m_text.size())
            e += (m_text[e] == '\r' && e + 1 < m_text.size() && m_text[e + 1] == '\n') ? 2 : 1;
        line.next = m_pos = e;
        Classify(line);
        return true;
    }

  private:
    void Classify(Line& l) const {
        const Span s = Trimmed(m_text, l.begin, l.end);
        if (s.begin == s.end) {
            l.kind = Kind::Blank;
        } else if (m_text[s.begin] == ';') {
            l.kind = Kind::Comment;
        } else if (m_text[s.begin] == '[') {
            l.kind = Kind::Section;
            qsizetype close = s.begin + 1;
            while (close < s.end && m_text[close] != ']')
                ++close;
            l.name = Trimmed(m_text, s.begin + 1, close);
        } else {
            l.kind = Kind::Entry;
            qsizetype eq = s.begin;
            while (eq < s.end && m_text[eq] != '=')
                ++eq;
            l.hasEq = eq < s.end;
            l.name = Trimmed(m_text, s.begin, eq);
            l.value = l.hasEq ? Trimmed(m_text, eq + 1, s.end) : Span{s.end, s.end};
        }
    }

    const QByteArray& m_text;
    qsizetype m_pos = 0;
};

QByteArrayView View(const QByteArray& t, Span s) {
    return QByteArrayView(t).sliced(s.begin, s.end - s.begin);
}

QByteArray Unquoted(const QByteArray& t, Span s) {
    QByteArrayView v = View(t, s);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.sliced(1, v.size() - 2);
    return v.toByteArray();
}

// Walks the entries of the first section named `section`; `visit` returns true to stop.
template <typename Visit>
void ForEachEntry(const QByteArray& text, const QByteArray& section, Visit visit) {
    LineScanner scan(text);
    Line line;
    bool inside = false;
    bool seen = false;
    while (scan.Next(line)) {
        if (line.kind == Kind::Section) {
            if (inside)
                return;
            inside = !seen && SameName(View(text, line.name), section);
            seen = seen || inside;
        } else if (inside && line.kind == Kind::Entry) {
            if (visit(line))
                return;
        }
    }
}

QByteArray LineEndOf(const QByteArray& text) {
    const qsizetype i = text.indexOf('\n');
    const qsizetype j = text.indexOf('\r');
    if (j >= 0 && (i < 0 || j < i))
        return (j + 1 < text.size() && text[j + 1] == '\n') ? "\r\n" : "\r";
    if (i >= 0)
        return "\n";
#ifdef Q_OS_WIN
    return "\r\n";
#else
    return "\n";
#endif
}

bool EndsWithLineEnd(const QByteArray& t) {
    return t.isEmpty() || t.endsWith('\n') || t.endsWith('\r');
}

// A file's text as the line scanner sees it. Files marked as UTF-16 (what an editor's
// "Unicode" saving makes) are worked on in UTF-8 and written back in their own encoding, so that
// our ASCII lines never land in the middle of wide text.
struct FileText {
    QByteArray text;
    std::optional<QStringConverter::Encoding> wide;
    bool rewritable = true; // false when the text cannot be written back unchanged
};

QByteArray Encoded(const QByteArray& text, const std::optional<QStringConverter::Encoding>& wide) {
    if (!wide)
        return text;
    QStringEncoder encode(*wide, QStringConverter::Flag::WriteBom);
    return encode(QString::fromUtf8(text));
}

// Reads a whole regular file within the size bound. A missing file is empty text; anything that
// is there but cannot be read whole (a directory, a device, no permission) is nullopt.
std::optional<FileText> ReadFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return FileText{};
    const std::optional<QByteArray> read = ReadBoundedFile(path, kMaxFileSize);
    if (!read)
        return std::nullopt;
    const QByteArray& bytes = *read;

    FileText f;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        f.wide = bytes.startsWith("\xFF") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        QStringDecoder decode(*f.wide);
        const QString decoded = decode(bytes);
        f.text = decoded.toUtf8();
        f.rewritable = !decode.hasError() && Encoded(f.text, f.wide) == bytes;
    } else {
        f.text = bytes;
    }
    return f;
}

} // namespace

std::optional<QByteArray> FindValue(const QByteArray& text, const QByteArray& section,
                                    const QByteArray& key) {
    std::optional<QByteArray> found;
    ForEachEntry(text, section, [&](const Line& line) {
        if (!SameName(View(text, line.name), key))
            return false;
        found = Unquoted(text, line.value);
        return true;
    });
    return found;
}

QList<QPair<QByteArray, QByteArray>> SectionEntries(const QByteArray& text,
                                                    const QByteArray& section) {
    QList<QPair<QByteArray, QByteArray>> entries;
    ForEachEntry(text, section, [&](const Line& line) {
        entries.append({View(text, line.name).toByteArray(), Unquoted(text, line.value)});
        return false;
    });
    return entries;
}

QByteArray WithValue(const QByteArray& text, const QByteArray& section, const QByteArray& key,
                     const QByteArray& value) {
    LineScanner scan(text);
    Line line;
    bool inside = false;
    bool seen = false;
    std::optional<Line> lastInSection; // header or last entry of the matching section
    while (scan.Next(line)) {
        if (line.kind == Kind::Section) {
            if (inside)
                break;
            inside = !seen && SameName(View(text, line.name), section);
            seen = seen || inside;
            if (inside)
                lastInSection = line;
        } else if (inside && line.kind == Kind::Entry) {
            if (SameName(View(text, line.name), key)) {
                QByteArray out = text;
                if (line.hasEq)
                    return out.replace(line.value.begin, line.value.end - line.value.begin, value);
                return out.insert(line.name.end, "=" + value);
            }
            lastInSection = line;
        }
    }

    const QByteArray eol = LineEndOf(text);
    if (!lastInSection) {
        QByteArray out = text;
        if (!EndsWithLineEnd(out))
            out += eol;
        return out + "[" + section + "]" + eol + key + "=" + value + eol;
    }
    // After the section's last entry, so the new key reads as part of it.
    QByteArray entry = key + "=" + value + eol;
    const Line& at = *lastInSection;
    if (at.next == at.end) // that line ends the text without a line end
        entry.prepend(eol);
    QByteArray out = text;
    return out.insert(at.next, entry);
}

int ParseInt(const QByteArray& value) {
    qsizetype i = 0;
    while (i < value.size() && IsBlank(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-'))
        negative = value[i++] == '-';
    // Wraps like the platform's 32-bit conversion instead of overflowing.
    std::uint32_t n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        n = n * 10u + std::uint32_t(value[i] - '0');
    if (negative)
        n = 0u - n;
    return static_cast<int>(n);
}

int ReadInt(const QString& section, const QString& key, int defaultValue, const QString& path) {
    const std::optional<FileText> file = ReadFile(path);
    if (!file)
        return defaultValue;
    const std::optional<QByteArray> value = FindValue(file->text, section.toUtf8(), key.toUtf8());
    if (!value || value->isEmpty())
        return defaultValue;
    return ParseInt(*value);
}

bool WriteString(const QString& section, const QString& key, const QString& value,
                 const QString& path) {
    const QByteArray s = section.toUtf8();
    const QByteArray k = key.toUtf8();
    const QByteArray v = value.toUtf8();
    // Names and values that would read back as different lines are refused, not written.
    const auto breaksLine = [](const QByteArray& b) {
        return b.contains('\n') || b.contains('\r');
    };
    if (s.isEmpty() || k.trimmed().isEmpty() || breaksLine(s) || breaksLine(k) || breaksLine(v) ||
        s.contains(']') || k.contains('=') || k.trimmed() != k || s.trimmed() != s)
        return false;

    const std::optional<FileText> old = ReadFile(path);
    if (!old || !old->rewritable) // never replace what we could not read whole and exactly
        return false;

    QSaveFile file(path);
    // A read-only directory may still hold a writable file: write it in place then.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray out = Encoded(WithValue(old->text, s, k, v), old->wide);
    if (file.write(out) != out.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace sonavix::profile
