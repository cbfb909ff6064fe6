#include "app/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <limits>
#include <sstream>

#include "base/bounded_file_read.h"
#include "base/text.h"

namespace reelsmith {

namespace {

std::string_view Trim(std::string_view text) { return TrimmedView(text, kBlanks); }

std::string WithoutLineBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n')
            out.push_back(c);
    return out;
}

}  // namespace

TIniFile::Line TIniFile::ParseLine(std::string raw)
{
    Line line;
    const std::string_view text = Trim(raw);
    if (text.size() >= 2 && text.front() == '[') {
        const size_t close = text.find(']');
        if (close != std::string_view::npos) {
            line.Type = Line::Kind::Section;
            line.Section = std::string(Trim(text.substr(1, close - 1)));
        }
    } else if (!text.empty() && text.front() != ';' && text.front() != '#') {
        const size_t equals = text.find('=');
        if (equals != std::string_view::npos && equals > 0) {
            line.Type = Line::Kind::Key;
            line.Key = std::string(Trim(text.substr(0, equals)));
            line.Value = std::string(Trim(text.substr(equals + 1)));
        }
    }
    line.Raw = std::move(raw);
    return line;
}

void TIniFile::Parse(std::string_view text)
{
    m_Lines.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        Line line = ParseLine(std::string(text.substr(start, end - start)));
        size_t next = end;
        if (end < text.size())
            next = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
        line.Eol = std::string(text.substr(end, next - end));
        m_Lines.push_back(std::move(line));
        start = next;
    }
}

std::string TIniFile::Text() const
{
    std::string out;
    for (const Line& line : m_Lines) {
        out += line.Raw;
        out += line.Eol.empty() ? std::string("\n") : line.Eol;
    }
    return out;
}

TIniFile TIniFile::Load(const std::string& path)
{
    std::string text;
    int error = 0;
    if (ReadBoundedFile(path, kMaxFileBytes, &text, &error) != TBoundedRead::Read)
        return {};
    return TIniFile(text);
}

bool TIniFile::Save(const std::string& path) const
{
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return false;
    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0)
        fchmod(fd, existing.st_mode & 07777);  // the replaced file keeps its permissions
    const std::string text = Text();
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    const bool ok = written == text.size() && fsync(fd) == 0;
    if (close(fd) != 0 || !ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<std::pair<size_t, size_t>> TIniFile::FindSection(std::string_view section) const
{
    for (size_t i = 0; i < m_Lines.size(); ++i) {
        if (m_Lines[i].Type != Line::Kind::Section || !EqualsIgnoringAsciiCase(m_Lines[i].Section, section))
            continue;
        size_t end = i + 1;
        while (end < m_Lines.size() && m_Lines[end].Type != Line::Kind::Section)
            ++end;
        return std::make_pair(i + 1, end);
    }
    return std::nullopt;
}

std::optional<std::string> TIniFile::Value(std::string_view section, std::string_view key) const
{
    const auto range = FindSection(section);
    if (!range)
        return std::nullopt;
    for (size_t i = range->first; i < range->second; ++i)
        if (m_Lines[i].Type == Line::Kind::Key && EqualsIgnoringAsciiCase(m_Lines[i].Key, key))
            return m_Lines[i].Value;
    return std::nullopt;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, const std::string& fallback) const
{
    return Value(section, key).value_or(fallback);
}

std::optional<int> TIniFile::ParseInteger(std::string_view text)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const
{
    const auto value = Value(section, key);
    if (!value)
        return fallback;
    return ParseInteger(*value).value_or(fallback);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string cleanKey = WithoutLineBreaks(Trim(key));
    const std::string cleanValue = WithoutLineBreaks(value);
    Line entry = ParseLine(cleanKey + "=" + cleanValue);
    auto range = FindSection(section);
    if (!range) {
        if (!m_Lines.empty() && !Trim(m_Lines.back().Raw).empty())
            m_Lines.push_back(ParseLine(""));
        m_Lines.push_back(ParseLine("[" + WithoutLineBreaks(section) + "]"));
        m_Lines.push_back(std::move(entry));
        return;
    }
    size_t insertAt = range->first;
    for (size_t i = range->first; i < range->second; ++i) {
        if (m_Lines[i].Type == Line::Kind::Key && EqualsIgnoringAsciiCase(m_Lines[i].Key, cleanKey)) {
            entry.Eol = m_Lines[i].Eol;
            m_Lines[i] = std::move(entry);
            return;
        }
        if (!Trim(m_Lines[i].Raw).empty())
            insertAt = i + 1;  // after the last non-blank line of the section
    }
    m_Lines.insert(m_Lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

}  // namespace reelsmith
