#include "base/qt/file_name.h"

#include <sys/stat.h>

namespace reelsmith {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // + byte, for bytes 0x80 to 0xFF
// A shown name longer than this is cut: its start and its end around "…". A path holds at
// most 4096 bytes, so only a name of escapes or a hostile list line reaches it.
constexpr qsizetype kShownNameMax = 4096;
constexpr qsizetype kShownNameHead = 3072;
constexpr qsizetype kShownNameTail = 1000;

// The length of the valid UTF-8 sequence at position i, or 0 when the byte there does not
// start one (stray continuation, overlong form, surrogate, beyond U+10FFFF, cut short).
int ValidSequenceLength(const QByteArray& bytes, qsizetype i, char32_t* code)
{
    const auto at = [&bytes](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    int length = 0;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = at(i + k);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (overlong || surrogate || value > 0x10FFFF)
        return 0;
    *code = value;
    return length;
}

bool IsKeptByte(QChar ch) { return ch.unicode() >= kEscapeBase + 0x80 && ch.unicode() <= kEscapeBase + 0xFF; }

QString HexEscape(unsigned value)
{
    return QStringLiteral("\\x") + QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

// The second half of a surrogate pair (a lone low surrogate is a kept byte).
bool IsPairedLow(const QString& text, qsizetype i)
{
    return text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate();
}

// How the character at i is shown: a kept byte or a control character as an escape.
void AppendShown(QString* shown, const QString& text, qsizetype i)
{
    const QChar ch = text[i];
    if (IsKeptByte(ch) && !IsPairedLow(text, i))
        *shown += HexEscape(ch.unicode() - kEscapeBase);
    else if (ch == QLatin1Char('\n'))
        *shown += QLatin1String("\\n");
    else if (ch == QLatin1Char('\r'))
        *shown += QLatin1String("\\r");
    else if (ch == QLatin1Char('\t'))
        *shown += QLatin1String("\\t");
    else if (ch.unicode() < 0x20 || ch.unicode() == 0x7F)
        *shown += HexEscape(ch.unicode());
    else
        *shown += ch;
}

qsizetype ShownLength(const QString& text, qsizetype i)
{
    QString piece;
    AppendShown(&piece, text, i);
    return piece.size();
}

bool StatOf(const QString& path, struct stat* status)
{
    return !path.isEmpty() && ::stat(FileNameBytes(path).constData(), status) == 0;
}

}  // namespace

QString FileNameText(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            text.append(QChar(byte));
            ++i;
            continue;
        }
        char32_t code = 0;
        const int length = ValidSequenceLength(bytes, i, &code);
        if (length == 0) {
            text.append(QChar(static_cast<char16_t>(kEscapeBase + byte)));
            ++i;
            continue;
        }
        text.append(QString::fromUcs4(&code, 1));
        i += length;
    }
    return text;
}

QByteArray FileNameBytes(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            bytes.append(QStringView(text).mid(runStart, end - runStart).toUtf8());
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        const bool paired = ch.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate();
        if (!IsKeptByte(ch) || paired)
            continue;
        flushRun(i);
        bytes.append(static_cast<char>(ch.unicode() - kEscapeBase));
        runStart = i + 1;
    }
    flushRun(text.size());
    return bytes;
}

QString DisplayedFileName(const QString& text)
{
    if (text.size() <= kShownNameMax) {
        QString shown;
        shown.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i)
            AppendShown(&shown, text, i);
        if (shown.size() <= kShownNameMax)
            return shown;
    }
    // Too long to read (or to lay out: a hostile list may hold a line of megabytes): the
    // start and the end, where the file name is, around "…". Only what is shown is looked at.
    qsizetype tailStart = text.size();
    for (qsizetype length = 0; tailStart > 0;) {
        length += ShownLength(text, tailStart - 1);
        if (length > kShownNameTail)
            break;
        --tailStart;
    }
    if (tailStart > 0 && tailStart < text.size() && IsPairedLow(text, tailStart))
        ++tailStart;
    QString shown;
    for (qsizetype i = 0; i < tailStart; ++i) {
        if (shown.size() >= kShownNameHead && !IsPairedLow(text, i)) {
            shown += QChar(0x2026);
            break;
        }
        AppendShown(&shown, text, i);
    }
    for (qsizetype i = tailStart; i < text.size(); ++i)
        AppendShown(&shown, text, i);
    return shown;
}

bool IsExistingFile(const QString& path)
{
    struct stat status {};
    return StatOf(path, &status) && !S_ISDIR(status.st_mode);
}

bool IsRegularFile(const QString& path, int64_t* size)
{
    struct stat status {};
    if (!StatOf(path, &status) || !S_ISREG(status.st_mode))
        return false;
    if (size)
        *size = static_cast<int64_t>(status.st_size);
    return true;
}

bool IsFolder(const QString& path)
{
    struct stat status {};
    return StatOf(path, &status) && S_ISDIR(status.st_mode);
}

bool PathExists(const QString& path)
{
    struct stat status {};
    return StatOf(path, &status);
}

bool NameTaken(const QString& path)
{
    struct stat status {};
    return !path.isEmpty() && ::lstat(FileNameBytes(path).constData(), &status) == 0;
}

QString WithTrailingSlash(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

}  // namespace reelsmith
