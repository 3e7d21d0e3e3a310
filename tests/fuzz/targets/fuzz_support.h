// What the fuzz targets share: a failed invariant ends the run as a crash that libFuzzer keeps,
// and an independent model of code page 932 characters to judge cuts and case changes by.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n  ", __FILE__, __LINE__,            \
                         #condition);                                                              \
            std::fprintf(stderr, __VA_ARGS__);                                                     \
            std::fprintf(stderr, "\n");                                                            \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// Code page 932's byte ranges. A lead byte starts a double-byte character; the byte after it
// is its trail byte when it lies in the trail range, else a character of its own (the lead
// byte then stands alone, as it does before the terminator).
inline bool IsLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
inline bool IsTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

enum Kind { kSingle = 0, kLead = 1, kTrail = 2 };

// The kind of every byte of s (up to its first NUL), read from the start.
inline std::vector<int> Kinds(const std::string& s) {
    std::vector<int> kinds(s.size(), kSingle);
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (i > 0 && kinds[i - 1] == kLead)
            kinds[i] = IsTrail(b) ? kTrail : kSingle;
        else if (IsLead(b))
            kinds[i] = kLead;
    }
    return kinds;
}

// Whether s may be cut before byte k without splitting a character.
inline bool IsBoundary(const std::string& s, size_t k) {
    return k >= s.size() || Kinds(s)[k] != kTrail;
}

// The longest prefix of s of at most limit bytes that splits no character.
inline size_t LongestCut(const std::string& s, size_t limit) {
    std::vector<int> kinds = Kinds(s);
    size_t k = limit < s.size() ? limit : s.size();
    while (k > 0 && k < s.size() && kinds[k] == kTrail)
        --k;
    return k;
}

// A cut text: a prefix of full, at most limit bytes, splitting no character, and as long as
// that allows, or shorter by one lone lead byte (which starts no character that fits).
inline void CheckCut(const std::string& full, const std::string& cut, size_t limit,
                     const char* what) {
    FUZZ_CHECK(full.compare(0, cut.size(), cut) == 0, "%s: not a prefix of the full text", what);
    FUZZ_CHECK(cut.size() <= limit, "%s: %zu bytes for a limit of %zu", what, cut.size(), limit);
    FUZZ_CHECK(IsBoundary(full, cut.size()), "%s: cut inside a character at %zu", what, cut.size());
    size_t longest = LongestCut(full, limit);
    bool droppedLoneLead =
        cut.size() + 1 == longest && IsLead(static_cast<unsigned char>(full[cut.size()]));
    FUZZ_CHECK(cut.size() == longest || droppedLoneLead, "%s: %zu bytes kept of %zu possible", what,
               cut.size(), longest);
}

} // namespace fuzz
