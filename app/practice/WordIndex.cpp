// A small JSON reader for the word index alone: bounded depth and size, every read checked
// against the end of the text.
#include "practice/WordIndex.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace sonavix {
namespace {

constexpr int kMaxDepth = 8;

class Reader {
  public:
    explicit Reader(std::string_view text) : m_text(text) {}

    bool Index(std::vector<WordSpan>& spans) {
        Space();
        bool sawWords = false;
        if (!Object(0, [&](std::string_view key) {
                if (key != "words")
                    return Skip(1);
                sawWords = true;
                return Words(spans);
            }))
            return false;
        Space();
        return sawWords && m_pos == m_text.size();
    }

  private:
    template <typename OnMember> bool Object(int depth, OnMember onMember) {
        if (!Take('{'))
            return false;
        Space();
        if (Take('}'))
            return true;
        for (;;) {
            std::string key;
            Space();
            if (!String(key))
                return false;
            Space();
            if (!Take(':'))
                return false;
            Space();
            if (!onMember(std::string_view(key)))
                return false;
            Space();
            if (Take('}'))
                return true;
            if (!Take(','))
                return false;
        }
        (void)depth;
    }

    bool Words(std::vector<WordSpan>& spans) {
        if (!Take('['))
            return false;
        Space();
        if (Take(']'))
            return true;
        for (;;) {
            if (spans.size() >= kMaxWordSpans)
                return false;
            WordSpan span;
            bool word = false, start = false, end = false;
            Space();
            if (!Object(1, [&](std::string_view key) {
                    if (key == "word")
                        return word = String(span.word);
                    if (key == "start")
                        return start = Number(span.start);
                    if (key == "end")
                        return end = Number(span.end);
                    return Skip(2);
                }))
                return false;
            if (!word || !start || !end || span.word.empty() || !(span.start >= 0) ||
                !(span.start < span.end))
                return false;
            spans.push_back(std::move(span));
            Space();
            if (Take(']'))
                return true;
            if (!Take(','))
                return false;
        }
    }

    // Any value, skipped, nested at most kMaxDepth deep.
    bool Skip(int depth) {
        if (depth > kMaxDepth || m_pos >= m_text.size())
            return false;
        const char c = m_text[m_pos];
        if (c == '"') {
            std::string ignored;
            return String(ignored);
        }
        if (c == '{')
            return Object(depth, [&](std::string_view) { return Skip(depth + 1); });
        if (c == '[') {
            ++m_pos;
            Space();
            if (Take(']'))
                return true;
            for (;;) {
                Space();
                if (!Skip(depth + 1))
                    return false;
                Space();
                if (Take(']'))
                    return true;
                if (!Take(','))
                    return false;
            }
        }
        for (std::string_view word : {"true", "false", "null"})
            if (m_text.substr(m_pos, word.size()) == word) {
                m_pos += word.size();
                return true;
            }
        double ignored = 0;
        return Number(ignored);
    }

    bool String(std::string& out) {
        if (!Take('"'))
            return false;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c == '\\') {
                // The index's words need no escapes beyond the simple ones.
                if (m_pos >= m_text.size())
                    return false;
                const char e = m_text[m_pos++];
                if (e != '"' && e != '\\' && e != '/')
                    return false;
                out.push_back(e);
                continue;
            }
            out.push_back(c);
        }
        return false;
    }

    bool Number(double& out) {
        const size_t begin = m_pos;
        while (m_pos < m_text.size() && m_pos - begin < 32 &&
               std::string_view("+-0123456789.eE").find(m_text[m_pos]) != std::string_view::npos)
            ++m_pos;
        if (m_pos == begin)
            return false;
        const std::string digits(m_text.substr(begin, m_pos - begin));
        char* end = nullptr;
        out = std::strtod(digits.c_str(), &end);
        return end == digits.c_str() + digits.size() && std::isfinite(out);
    }

    bool Take(char c) {
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    void Space() {
        while (m_pos < m_text.size() &&
               std::string_view(" \t\r\n").find(m_text[m_pos]) != std::string_view::npos)
            ++m_pos;
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

} // namespace

bool ParseWordIndex(std::string_view text, std::vector<WordSpan>& spans) {
    spans.clear();
    if (text.size() > kMaxWordIndexBytes || !Reader(text).Index(spans)) {
        spans.clear();
        return false;
    }
    return true;
}

bool ReadWordIndexFile(const std::string& path, std::vector<WordSpan>& spans) {
    spans.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string text(kMaxWordIndexBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return ParseWordIndex(text, spans);
}

} // namespace sonavix
