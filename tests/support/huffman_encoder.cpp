#include "huffman_encoder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace sonavix::test {
namespace {

std::vector<std::vector<std::string>> ReadCsv(const std::string& name) {
    const std::string path = std::string(SONAVIX_SHARED_DIR) + "/iso-tables/" + name;
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot open " + path);
    }
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::stringstream ss(line);
        std::string field;
        while (std::getline(ss, field, ',')) {
            fields.push_back(field);
        }
        rows.push_back(fields);
    }
    return rows;
}

} // namespace

const HuffmanEncoder& HuffmanEncoder::Get() {
    static const HuffmanEncoder encoder;
    return encoder;
}

HuffmanEncoder::HuffmanEncoder() {
    int tree[34];
    for (const auto& row : ReadCsv("huffman_tables.csv")) {
        if (row.size() < 5 || row[0] == "table") {
            continue;
        }
        const int t = std::stoi(row[0]);
        m_xlen[t] = std::stoi(row[1]);
        m_linbits[t] = std::stoi(row[3]);
        tree[t] = row[4] == "none" ? -1 : std::stoi(row[4]);
    }
    for (const auto& row : ReadCsv("huffman_codes.csv")) {
        if (row[0] == "A" || row[0] == "B") {
            const int value = std::stoi(row[1]) * 8 + std::stoi(row[2]) * 4 +
                              std::stoi(row[3]) * 2 + std::stoi(row[4]);
            m_codes[row[0] == "A" ? 32 : 33].push_back({0, value, row[6]});
        } else {
            m_codes[std::stoi(row[0])].push_back({std::stoi(row[1]), std::stoi(row[2]), row[4]});
        }
    }
    // Tables that share a code tree share its codes.
    for (int t = 0; t < 34; ++t) {
        if (tree[t] >= 0 && tree[t] != t) {
            m_codes[t] = m_codes[tree[t]];
        }
    }
}

const std::vector<HuffCode>& HuffmanEncoder::Codes(int table) const {
    return m_codes[table];
}
int HuffmanEncoder::Linbits(int table) const {
    return m_linbits[table];
}
int HuffmanEncoder::Xlen(int table) const {
    return m_xlen[table];
}

const HuffCode& HuffmanEncoder::Find(int table, int x, int y) const {
    for (const HuffCode& code : m_codes[table]) {
        if (code.x == x && code.y == y) {
            return code;
        }
    }
    throw std::invalid_argument("no codeword for (" + std::to_string(x) + ", " + std::to_string(y) +
                                ") in table " + std::to_string(table));
}

void HuffmanEncoder::EncodePair(BitWriter& out, int table, int x, int y) const {
    if (m_codes[table].empty()) {
        if (x != 0 || y != 0) {
            throw std::invalid_argument("empty table holds only (0, 0)");
        }
        return;
    }
    const int escape = m_xlen[table] - 1;
    const int linbits = m_linbits[table];
    auto split = [&](int value) {
        const int magnitude = std::abs(value);
        if (linbits > 0 && magnitude >= escape) {
            return escape;
        }
        return magnitude;
    };
    const int cx = split(x);
    const int cy = split(y);
    out.Put(Find(table, cx, cy).bits);
    for (int value : {x, y}) {
        const int magnitude = std::abs(value);
        if (linbits > 0 && split(value) == escape) {
            const int extra = magnitude - escape;
            if (extra >= (1 << linbits)) {
                throw std::invalid_argument("value beyond the table's escape range");
            }
            out.Put(static_cast<uint32_t>(extra), linbits);
        }
        if (magnitude != 0) {
            out.Put(value < 0 ? 1u : 0u, 1);
        }
    }
}

void HuffmanEncoder::EncodeQuad(BitWriter& out, int table, int v, int w, int x, int y) const {
    const int value = std::abs(v) * 8 + std::abs(w) * 4 + std::abs(x) * 2 + std::abs(y);
    out.Put(Find(table, 0, value).bits);
    for (int q : {v, w, x, y}) {
        if (q != 0) {
            out.Put(q < 0 ? 1u : 0u, 1);
        }
    }
}

} // namespace sonavix::test
