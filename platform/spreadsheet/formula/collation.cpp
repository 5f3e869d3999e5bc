// Texts compared as a spreadsheet sorts them: by letters first (accents and
// case aside, "Äpfel" before "c"), then by accents; case never counts.

#include <string>
#include <string_view>
#include <vector>

#include "platform/spreadsheet/formula/eval_internal.h"

namespace tabrix::xl::eval {

namespace {

// Base letters of U+00C0..U+00FF; '*' marks the two signs (multiply, divide).
constexpr std::string_view kLatin1Base = "AAAAAAACEEEEIIIIDNOOOOO*OUUUUYTSAAAAAAACEEEEIIIIDNOOOOO*OUUUUYTY";

unsigned NextCodePoint(std::string_view s, std::size_t& i) {
    const unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return c;
    int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    unsigned cp = c & (0x3F >> more);
    for (; more > 0 && i < s.size(); --more) cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp;
}

// Weights: spaces and punctuation, then digits, then letters, then the rest.
struct TKey {
    std::vector<unsigned> Primary, Secondary;
};

constexpr unsigned kDigits = 0x100, kLetters = 0x200, kOther = 0x1000;

void AddLetter(TKey& k, char base, unsigned accent) {
    k.Primary.push_back(kLetters + unsigned(base - 'A'));
    k.Secondary.push_back(accent);
}

TKey KeyOf(std::string_view s) {
    TKey k;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned cp = NextCodePoint(s, i);
        if (cp >= 'a' && cp <= 'z') {
            AddLetter(k, char(cp - 32), 0);
        } else if (cp >= 'A' && cp <= 'Z') {
            AddLetter(k, char(cp), 0);
        } else if (cp >= '0' && cp <= '9') {
            k.Primary.push_back(kDigits + cp);
            k.Secondary.push_back(0);
        } else if (cp < 0x80) {
            k.Primary.push_back(cp);
            k.Secondary.push_back(0);
        } else if (cp == 0xDF) {  // sharp s sorts as "ss"
            AddLetter(k, 'S', 0);
            AddLetter(k, 'S', cp);
        } else if (cp == 0xC6 || cp == 0xE6) {  // ae ligature
            AddLetter(k, 'A', 0);
            AddLetter(k, 'E', cp | 0x20);
        } else if (cp >= 0xC0 && cp <= 0xFF && kLatin1Base[cp - 0xC0] != '*') {
            // Upper and lower forms share their accent weight: case does not count.
            AddLetter(k, kLatin1Base[cp - 0xC0], cp | 0x20);
        } else {
            k.Primary.push_back(kOther + cp);
            k.Secondary.push_back(0);
        }
    }
    return k;
}

int CompareWeights(const std::vector<unsigned>& a, const std::vector<unsigned>& b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
    const TKey x = KeyOf(a), y = KeyOf(b);
    if (const int p = CompareWeights(x.Primary, y.Primary)) return p;
    return CompareWeights(x.Secondary, y.Secondary);
}

}  // namespace tabrix::xl::eval
