#pragma once
// A small INI document that keeps every line it does not change: comments, blank lines,
// unknown sections and keys, their order and spelling survive a read-modify-write cycle.
// Section and key names compare case-insensitively (ASCII), as the file format expects.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reelsmith {

class TIniFile {
public:
    // Files larger than this are not read: the settings then fall back to their defaults.
    static constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;

    TIniFile() = default;
    explicit TIniFile(std::string_view text) { Parse(text); }

    // Reads a file; a missing, unreadable or oversized file gives an empty document.
    static TIniFile Load(const std::string& path);
    // Writes the whole document through a temporary file and a rename, so a failed write
    // leaves the old file whole. False when any step fails.
    bool Save(const std::string& path) const;

    void Parse(std::string_view text);
    std::string Text() const;

    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, const std::string& fallback) const;
    // Decimal 32-bit integer with an optional sign; anything else yields the fallback.
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
    // True for any non-zero integer.
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

    // Replaces the first occurrence of the key, or adds it at the end of its section (the
    // section is added at the end of the document when missing). Line breaks in the value
    // are dropped: they would otherwise split the entry.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    static std::optional<int> ParseInteger(std::string_view text);

private:
    struct Line {
        std::string Raw;      // the line as read or as written by us
        std::string Eol;      // its line ending as read; empty means "\n"
        std::string Section;  // for section headers: the name
        std::string Key;      // for key lines: the name (trimmed)
        std::string Value;    // for key lines: the value (trimmed)
        enum class Kind { Other, Section, Key } Type = Kind::Other;
    };

    // Index range [first, last) of the body lines of the first section with that name.
    std::optional<std::pair<size_t, size_t>> FindSection(std::string_view section) const;
    static Line ParseLine(std::string raw);

    std::vector<Line> m_Lines;
};

}  // namespace reelsmith
