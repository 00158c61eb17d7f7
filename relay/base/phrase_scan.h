// Finds fixed phrases in a line in one pass: for every phrase of a set, the first
// and the last place where it occurs, exactly as strstr would find them one phrase
// at a time. The line is read once; only where a byte begins some phrase are the
// four bytes from there looked up, and only phrases that begin with those four
// bytes are compared.
#pragma once

#include <cstdint>
#include <cstring>

inline constexpr int kMaxPhrases = 64;

// Where each phrase of a set was found (nullptr: nowhere).
struct PhraseHits {
    const char* first[kMaxPhrases];
    const char* last[kMaxPhrases];
};

class PhraseSet {
public:
    // Adds a phrase (kept by pointer: a constant text); its index is the order of
    // adding. An empty phrase is never found.
    int add(const char* phrase)
    {
        const int i = count_++;
        text_[i] = phrase;
        len_[i] = std::strlen(phrase);
        if (len_[i] >= 4) {
            buckets_[bucket(head(phrase))] |= uint64_t{1} << i;
            starts_[static_cast<unsigned char>(phrase[0])] = true;
        }
        else if (len_[i] > 0)
            short_ |= uint64_t{1} << i;
        return i;
    }

    void scan(const char* line, PhraseHits& hits) const
    {
        for (int i = 0; i < count_; ++i)
            hits.first[i] = hits.last[i] = nullptr;
        for (const char* p = line; *p; ++p) {
            if (!starts_[static_cast<unsigned char>(*p)])
                continue;
            if (!p[1] || !p[2] || !p[3])
                break; // no room left for a phrase of four bytes or more
            const uint32_t h = head(p);
            for (uint64_t m = buckets_[bucket(h)]; m; m &= m - 1) {
                const int i = __builtin_ctzll(m);
                if (head(text_[i]) != h || !same_tail(p, text_[i], len_[i]))
                    continue;
                if (!hits.first[i])
                    hits.first[i] = p;
                hits.last[i] = p;
            }
        }
        // Phrases of one to three bytes (none of the game's) the plain way.
        for (uint64_t m = short_; m; m &= m - 1) {
            const int i = __builtin_ctzll(m);
            for (const char* at = std::strstr(line, text_[i]); at; at = std::strstr(at + 1, text_[i])) {
                if (!hits.first[i])
                    hits.first[i] = at;
                hits.last[i] = at;
            }
        }
    }

private:
    static uint32_t head(const char* t)
    {
        return static_cast<uint32_t>(static_cast<unsigned char>(t[0])) << 24 |
               static_cast<uint32_t>(static_cast<unsigned char>(t[1])) << 16 |
               static_cast<uint32_t>(static_cast<unsigned char>(t[2])) << 8 | static_cast<unsigned char>(t[3]);
    }
    // Whether p goes on as phrase t of n bytes after the four that matched. A line
    // that ends early differs at its zero, so nothing beyond it is read.
    static bool same_tail(const char* p, const char* t, std::size_t n)
    {
        for (std::size_t k = 4; k < n; ++k)
            if (p[k] != t[k])
                return false;
        return true;
    }
    static unsigned bucket(uint32_t w) { return (w * 2654435761u) >> 22; }

    bool starts_[256] = {}; // bytes that begin a phrase of four bytes or more
    uint64_t buckets_[1024] = {};
    uint64_t short_ = 0;
    const char* text_[kMaxPhrases] = {};
    std::size_t len_[kMaxPhrases] = {};
    int count_ = 0;
};
