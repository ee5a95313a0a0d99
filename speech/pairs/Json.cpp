#include "Json.h"

#include <charconv>
#include <cmath>

namespace sonavix::pairs {

const JsonValue* JsonValue::Get(std::string_view key) const {
    if (type != Type::Object) {
        return nullptr;
    }
    for (size_t i = keys.size(); i-- > 0;) {
        if (keys[i] == key) {
            return &array[i];
        }
    }
    return nullptr;
}

namespace {

class Parser {
  public:
    Parser(std::string_view text, const JsonLimits& limits) : m_text(text), m_limits(limits) {}

    bool ParseDocument(JsonValue& out) {
        SkipSpace();
        if (!ParseValue(out, 0)) {
            return false;
        }
        SkipSpace();
        return m_pos == m_text.size() || Fail("text after the value");
    }
    std::string Error() const { return m_error + " at byte " + std::to_string(m_pos); }

  private:
    bool Fail(const char* why) {
        if (m_error.empty()) {
            m_error = why;
        }
        return false;
    }
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    void SkipSpace() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
            ++m_pos;
        }
    }
    bool Literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) {
            return Fail("unknown literal");
        }
        m_pos += word.size();
        return true;
    }

    bool ParseValue(JsonValue& out, int depth) {
        if (++m_values > m_limits.maxValues) {
            return Fail("too many values");
        }
        if (depth > m_limits.maxDepth) {
            return Fail("nested too deeply");
        }
        switch (Peek()) {
        case '{':
            return ParseObject(out, depth);
        case '[':
            return ParseArray(out, depth);
        case '"':
            out.type = JsonValue::Type::String;
            return ParseString(out.string);
        case 't':
            out.type = JsonValue::Type::Bool;
            out.boolean = true;
            return Literal("true");
        case 'f':
            out.type = JsonValue::Type::Bool;
            return Literal("false");
        case 'n':
            return Literal("null");
        default:
            return ParseNumber(out);
        }
    }

    bool ParseObject(JsonValue& out, int depth) {
        out.type = JsonValue::Type::Object;
        ++m_pos;
        SkipSpace();
        if (Peek() == '}') {
            ++m_pos;
            return true;
        }
        for (;;) {
            SkipSpace();
            std::string key;
            if (Peek() != '"' || !ParseString(key)) {
                return Fail("expected a key");
            }
            SkipSpace();
            if (Peek() != ':') {
                return Fail("expected ':'");
            }
            ++m_pos;
            SkipSpace();
            out.keys.push_back(std::move(key));
            out.array.emplace_back();
            if (!ParseValue(out.array.back(), depth + 1)) {
                return false;
            }
            SkipSpace();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            if (Peek() == '}') {
                ++m_pos;
                return true;
            }
            return Fail("expected ',' or '}'");
        }
    }

    bool ParseArray(JsonValue& out, int depth) {
        out.type = JsonValue::Type::Array;
        ++m_pos;
        SkipSpace();
        if (Peek() == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            SkipSpace();
            out.array.emplace_back();
            if (!ParseValue(out.array.back(), depth + 1)) {
                return false;
            }
            SkipSpace();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            if (Peek() == ']') {
                ++m_pos;
                return true;
            }
            return Fail("expected ',' or ']'");
        }
    }

    bool Hex4(uint32_t& value) {
        if (m_text.size() - m_pos < 4) {
            return Fail("short \\u escape");
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<uint32_t>(c - 'A' + 10);
            } else {
                return Fail("bad \\u escape");
            }
        }
        return true;
    }

    static void AppendUtf8(std::string& s, uint32_t cp) {
        if (cp < 0x80) {
            s += static_cast<char>(cp);
        } else if (cp < 0x800) {
            s += static_cast<char>(0xC0 | (cp >> 6));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            s += static_cast<char>(0xE0 | (cp >> 12));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (cp >> 18));
            s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    // Well-formed UTF-8 only, so that every string handed on is valid text.
    bool CopyUtf8(std::string& s) {
        const auto byte = [&](size_t i) { return static_cast<unsigned char>(m_text[i]); };
        const unsigned char c = byte(m_pos);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || m_text.size() - m_pos < len) {
            return Fail("invalid UTF-8");
        }
        uint32_t cp = len == 1 ? c : c & (0x3F >> (len - 1));
        for (size_t i = 1; i < len; ++i) {
            if ((byte(m_pos + i) & 0xC0) != 0x80) {
                return Fail("invalid UTF-8");
            }
            cp = (cp << 6) | (byte(m_pos + i) & 0x3F);
        }
        static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return Fail("invalid UTF-8");
        }
        s.append(m_text.substr(m_pos, len));
        m_pos += len;
        return true;
    }

    bool ParseString(std::string& s) {
        ++m_pos; // opening quote
        for (;;) {
            if (AtEnd()) {
                return Fail("unterminated string");
            }
            const char c = m_text[m_pos];
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return Fail("control character in a string");
            }
            if (c != '\\') {
                if (!CopyUtf8(s)) {
                    return false;
                }
                continue;
            }
            ++m_pos;
            if (AtEnd()) {
                return Fail("unterminated string");
            }
            const char e = m_text[m_pos++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                s += e;
                break;
            case 'b':
                s += '\b';
                break;
            case 'f':
                s += '\f';
                break;
            case 'n':
                s += '\n';
                break;
            case 'r':
                s += '\r';
                break;
            case 't':
                s += '\t';
                break;
            case 'u': {
                uint32_t cp = 0;
                if (!Hex4(cp)) {
                    return false;
                }
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    uint32_t low = 0;
                    if (m_text.substr(m_pos, 2) != "\\u") {
                        return Fail("lone surrogate");
                    }
                    m_pos += 2;
                    if (!Hex4(low)) {
                        return false;
                    }
                    if (low < 0xDC00 || low > 0xDFFF) {
                        return Fail("lone surrogate");
                    }
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    return Fail("lone surrogate");
                }
                AppendUtf8(s, cp);
                break;
            }
            default:
                return Fail("bad escape");
            }
        }
    }

    bool ParseNumber(JsonValue& out) {
        const size_t start = m_pos;
        auto digits = [&] {
            const size_t from = m_pos;
            while (!AtEnd() && Peek() >= '0' && Peek() <= '9') {
                ++m_pos;
            }
            return m_pos > from;
        };
        if (Peek() == '-') {
            ++m_pos;
        }
        if (!digits()) {
            return Fail("expected a value");
        }
        if (Peek() == '.') {
            ++m_pos;
            if (!digits()) {
                return Fail("bad number");
            }
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++m_pos;
            if (Peek() == '+' || Peek() == '-') {
                ++m_pos;
            }
            if (!digits()) {
                return Fail("bad number");
            }
        }
        if (m_pos - start > 64) {
            return Fail("number too long");
        }
        out.type = JsonValue::Type::Number;
        // from_chars, unlike strtod, does not read "0.5" by the program's locale
        const char* last = m_text.data() + m_pos;
        const auto [end, ec] = std::from_chars(m_text.data() + start, last, out.number);
        if (ec != std::errc() || end != last || !std::isfinite(out.number)) {
            return Fail("number out of range");
        }
        return true;
    }

    std::string_view m_text;
    JsonLimits m_limits;
    size_t m_pos = 0;
    size_t m_values = 0;
    std::string m_error;
};

} // namespace

std::unique_ptr<JsonValue> ParseJson(std::string_view text, std::string* error,
                                     const JsonLimits& limits) {
    if (text.size() > limits.maxBytes) {
        if (error) {
            *error = "file too large";
        }
        return nullptr;
    }
    auto value = std::make_unique<JsonValue>();
    Parser parser(text, limits);
    if (!parser.ParseDocument(*value)) {
        if (error) {
            *error = parser.Error();
        }
        return nullptr;
    }
    return value;
}

} // namespace sonavix::pairs
