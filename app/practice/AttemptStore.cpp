#include "practice/AttemptStore.h"

#include "speech/WavFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace sonavix::practice {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kStampDigits = 13; // milliseconds since 1970 until the year 2286
constexpr char kExtension[] = ".wav";

std::string StampName(std::int64_t ms) {
    char name[32];
    std::snprintf(name, sizeof name, "%013lld%s",
                  static_cast<long long>(std::max<std::int64_t>(0, ms)), kExtension);
    return name;
}

bool IsAttemptName(const std::string& name) {
    if (name.size() != kStampDigits + sizeof kExtension - 1 ||
        name.compare(kStampDigits, std::string::npos, kExtension) != 0)
        return false;
    return std::all_of(name.begin(), name.begin() + kStampDigits,
                       [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::string ItemKey(const std::string& item) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string key;
    for (const unsigned char c : item) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-') {
            key += static_cast<char>(c);
        } else {
            key += '_';
            key += kHex[c >> 4];
            key += kHex[c & 15];
        }
    }
    return key.empty() ? std::string("_") : key;
}

std::string AttemptStore::ItemDir(const std::string& item) const {
    return (fs::path(m_root) / ItemKey(item)).string();
}

std::vector<std::string> AttemptStore::List(const std::string& item) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(ItemDir(item), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (IsAttemptName(name) && it->is_regular_file(ec))
            names.push_back(name);
    }
    // Fixed-width stamps sort as their times do.
    std::sort(names.rbegin(), names.rend());
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names)
        paths.push_back((fs::path(ItemDir(item)) / name).string());
    return paths;
}

bool AttemptStore::Save(const std::string& item, const speech::Sound& sound, std::int64_t nowMs,
                        std::string& path, std::string& error) const {
    path.clear();
    const fs::path dir = ItemDir(item);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = "cannot make " + dir.string() + ": " + ec.message();
        return false;
    }
    // After the newest even when the clock has gone back, so that pruning never takes the
    // attempt just made.
    std::int64_t stamp = nowMs;
    if (const std::vector<std::string> existing = List(item); !existing.empty())
        stamp = std::max<std::int64_t>(stamp,
                                       std::stoll(fs::path(existing.front()).stem().string()) + 1);
    path = (dir / StampName(stamp)).string();
    if (!speech::WriteWavFileAtomic(path, sound)) {
        error = "cannot write " + path;
        path.clear();
        return false;
    }
    const std::vector<std::string> kept = List(item);
    for (std::size_t i = kPerItem; i < kept.size(); ++i)
        fs::remove(kept[i], ec);
    return true;
}

bool AttemptStore::DeleteAll() const {
    std::error_code ec;
    if (!fs::exists(m_root, ec))
        return !ec;
    bool all = true;
    for (fs::directory_iterator it(m_root, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code one;
        if (!it->is_directory(one))
            continue;
        for (fs::directory_iterator f(it->path(), one), fend; !one && f != fend; f.increment(one)) {
            std::error_code gone;
            if (IsAttemptName(f->path().filename().string()) && !fs::remove(f->path(), gone))
                all = false;
        }
        if (one)
            all = false;
        fs::remove(it->path(), one); // only once empty; a stranger's file keeps its folder
    }
    return all && !ec;
}

} // namespace sonavix::practice
