#include "engine/options/word_splitter.h"

namespace reelsmith {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitOptionWords(std::string_view text)
{
    // The text ends at its first zero byte, as a C string would.
    if (const size_t zero = text.find('\0'); zero != std::string_view::npos)
        text = text.substr(0, zero);

    std::vector<std::string> words;
    size_t i = 0;
    const size_t n = text.size();
    while (true) {
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i >= n)
            break;
        std::string word;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(text[i]))) {
            if (text[i] == '\\') {
                size_t slashes = 0;
                while (i < n && text[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && text[i] == '"') {
                    word.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        word += '"';  // escaped quote
                        ++i;
                    }
                    // an even count leaves the quote to the toggle below
                } else {
                    word.append(slashes, '\\');
                }
                continue;
            }
            if (text[i] == '"') {
                if (quoted && i + 1 < n && text[i + 1] == '"') {
                    word += '"';  // "" inside quotes: one literal quote, quoting ends
                    i += 2;
                    quoted = false;
                } else {
                    quoted = !quoted;
                    ++i;
                }
                continue;
            }
            word += text[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

}  // namespace reelsmith
