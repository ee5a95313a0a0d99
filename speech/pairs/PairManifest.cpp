#include "PairManifest.h"

#include "Json.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

namespace sonavix::pairs {
namespace {

constexpr size_t kMaxText = 200; // bytes of any one text field
constexpr size_t kMaxFileBytes = 16u << 20;

bool Fail(std::string* error, const std::string& why) {
    if (error) {
        *error = why;
    }
    return false;
}

bool Text(const JsonValue& obj, std::string_view key, std::string& out, bool required = true) {
    const JsonValue* v = obj.Get(key);
    if (!v) {
        return !required;
    }
    if (!v->IsString() || v->string.size() > kMaxText) {
        return false;
    }
    out = v->string;
    return true;
}

double Number(const JsonValue& obj, std::string_view key) {
    const JsonValue* v = obj.Get(key);
    return v && v->IsNumber() ? v->number : 0.0;
}

bool SafeRelativeFile(std::string_view path) {
    if (path.size() > 300) {
        return false;
    }
    int components = 0;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        const std::string_view part = path.substr(start, slash - start);
        if (!IsSafeName(part) || ++components > 4) {
            return false;
        }
        if (slash == std::string_view::npos) {
            break;
        }
        start = slash + 1;
    }
    return path.ends_with(".mp3") || path.ends_with(".wav");
}

bool ReadWord(const std::string& text, const JsonValue& v, const std::set<std::string>& voices,
              Word& w, std::string* error) {
    const std::string where = "word \"" + text + "\"";
    if (!IsSafeName(text) || !v.IsObject()) {
        return Fail(error, where + ": bad entry");
    }
    w.text = text;
    if (!Text(v, "codes", w.codes) || !Text(v, "phones", w.phones) || !Text(v, "zh", w.gloss)) {
        return Fail(error, where + ": codes, phones and zh must be short texts");
    }
    const JsonValue* recs = v.Get("recordings");
    if (!recs || !recs->IsArray()) {
        return Fail(error, where + ": no recordings");
    }
    for (const JsonValue& r : recs->array) {
        Recording rec;
        if (!r.IsObject() || !Text(r, "voice", rec.voice) || !Text(r, "file", rec.file)) {
            return Fail(error, where + ": a recording without voice and file");
        }
        if (!voices.count(rec.voice) || !SafeRelativeFile(rec.file)) {
            return Fail(error, where + ": recording " + rec.file + " of unknown voice or unsafe");
        }
        if (w.In(rec.voice)) {
            return Fail(error, where + ": two recordings in voice " + rec.voice);
        }
        rec.duration = Number(r, "duration");
        rec.peakDbfs = Number(r, "peak_dbfs");
        rec.rmsDbfs = Number(r, "rms_dbfs");
        w.recordings.push_back(std::move(rec));
    }
    return true;
}

bool ReadContrast(const JsonValue& v, const Manifest& m, Contrast& c, std::string* error) {
    if (!v.IsObject() || !Text(v, "id", c.id) || !Text(v, "a", c.soundA) ||
        !Text(v, "b", c.soundB) || !Text(v, "title", c.title, false) ||
        !Text(v, "zh", c.gloss, false)) {
        return Fail(error, "a contrast without id, a and b");
    }
    const JsonValue* pairs = v.Get("pairs");
    if (!pairs || !pairs->IsArray()) {
        return Fail(error, "contrast " + c.id + ": no pairs");
    }
    for (const JsonValue& p : pairs->array) {
        Pair pair;
        if (!p.IsObject() || !Text(p, "a", pair.a) || !Text(p, "b", pair.b)) {
            return Fail(error, "contrast " + c.id + ": a pair without its words");
        }
        const Word* a = m.Find(pair.a);
        const Word* b = m.Find(pair.b);
        if (!a || !b || pair.a == pair.b) {
            return Fail(error, "contrast " + c.id + ": pair " + pair.a + "/" + pair.b +
                                   " names a word not listed");
        }
        // A voice counts for the pair only where both words have a recording in it.
        if (const JsonValue* voices = p.Get("voices"); voices && voices->IsArray()) {
            for (const JsonValue& voice : voices->array) {
                if (voice.IsString() && a->In(voice.string) && b->In(voice.string) &&
                    std::find(pair.voices.begin(), pair.voices.end(), voice.string) ==
                        pair.voices.end()) {
                    pair.voices.push_back(voice.string);
                }
            }
        }
        c.pairs.push_back(std::move(pair));
    }
    return true;
}

} // namespace

bool IsSafeName(std::string_view name) {
    if (name.empty() || name.size() > 64 || name.front() == '.' || name.front() == '-') {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char ch) {
        return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
               ch == '_' || ch == '-' || ch == '.';
    });
}

const Recording* Word::In(std::string_view voice) const {
    for (const Recording& r : recordings) {
        if (r.voice == voice) {
            return &r;
        }
    }
    return nullptr;
}

const Word* Manifest::Find(std::string_view word) const {
    const auto it = words.find(word);
    return it == words.end() ? nullptr : &it->second;
}

const Contrast* Manifest::FindContrast(std::string_view id) const {
    for (const Contrast& c : contrasts) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

std::optional<Manifest> ParseManifest(std::string_view text, std::string* error) {
    std::string jsonError;
    const auto root = ParseJson(text, &jsonError);
    if (!root) {
        Fail(error, "not JSON: " + jsonError);
        return std::nullopt;
    }
    Manifest m;
    const JsonValue* format = root->Get("format");
    if (!format || !format->IsNumber() || format->number != kManifestFormat) {
        Fail(error, "not a pair manifest of format " + std::to_string(kManifestFormat));
        return std::nullopt;
    }
    m.format = kManifestFormat;

    std::set<std::string> voices;
    const JsonValue* voiceList = root->Get("voices");
    if (!voiceList || !voiceList->IsArray()) {
        Fail(error, "no voices");
        return std::nullopt;
    }
    for (const JsonValue& v : voiceList->array) {
        std::string id;
        if (!v.IsObject() || !Text(v, "id", id) || !IsSafeName(id) || !voices.insert(id).second) {
            Fail(error, "a voice without a unique, file-safe id");
            return std::nullopt;
        }
        m.voices.push_back(id);
    }

    const JsonValue* words = root->Get("words");
    if (!words || !words->IsObject()) {
        Fail(error, "no words");
        return std::nullopt;
    }
    for (size_t i = 0; i < words->keys.size(); ++i) {
        const std::string& text = words->keys[i];
        Word w;
        if (!ReadWord(text, words->array[i], voices, w, error)) {
            return std::nullopt;
        }
        m.words[text] = std::move(w); // a repeated key: the last one, as for any JSON object
    }

    const JsonValue* contrasts = root->Get("contrasts");
    if (!contrasts || !contrasts->IsArray()) {
        Fail(error, "no contrasts");
        return std::nullopt;
    }
    for (const JsonValue& v : contrasts->array) {
        Contrast c;
        if (!ReadContrast(v, m, c, error)) {
            return std::nullopt;
        }
        if (m.FindContrast(c.id)) {
            Fail(error, "contrast " + c.id + " listed twice");
            return std::nullopt;
        }
        m.contrasts.push_back(std::move(c));
    }
    return m;
}

std::optional<Manifest> LoadManifest(const std::filesystem::path& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Fail(error, "cannot open " + path.string());
        return std::nullopt;
    }
    std::string text;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        text.append(block, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxFileBytes) {
            Fail(error, path.string() + ": too large");
            return std::nullopt;
        }
    }
    return ParseManifest(text, error);
}

std::vector<std::string> AddFoundVoices(Manifest& m, const std::filesystem::path& contentDir) {
    std::vector<std::string> added;
    std::error_code ec;
    std::vector<std::string> dirs;
    for (const auto& entry : std::filesystem::directory_iterator(contentDir / "voices", ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory(ec) && IsSafeName(name) &&
            std::find(m.voices.begin(), m.voices.end(), name) == m.voices.end()) {
            dirs.push_back(name);
        }
    }
    std::sort(dirs.begin(), dirs.end()); // directory order is the file system's whim
    for (const std::string& voice : dirs) {
        bool any = false;
        for (auto& [text, word] : m.words) {
            const std::string rel = "voices/" + voice + "/" + text + ".mp3";
            if (std::filesystem::is_regular_file(contentDir / rel, ec)) {
                word.recordings.push_back({voice, rel, 0, 0, 0});
                any = true;
            }
        }
        if (!any) {
            continue;
        }
        m.voices.push_back(voice);
        added.push_back(voice);
        for (Contrast& c : m.contrasts) {
            for (Pair& p : c.pairs) {
                if (m.Find(p.a)->In(voice) && m.Find(p.b)->In(voice)) {
                    p.voices.push_back(voice);
                }
            }
        }
    }
    return added;
}

} // namespace sonavix::pairs
