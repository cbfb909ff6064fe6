#include "engine/options/option_error.h"

#include <mutex>

namespace reelsmith {

namespace {
std::mutex& ErrorLock()
{
    static std::mutex lock;
    return lock;
}
std::string& ErrorText()
{
    static std::string text;
    return text;
}
}  // namespace

std::string OptionErrorText()
{
    std::lock_guard guard(ErrorLock());
    return ErrorText();
}

void SetOptionErrorText(const std::string& text)
{
    std::lock_guard guard(ErrorLock());
    ErrorText() = text;
}

void ClearOptionErrorText() { SetOptionErrorText({}); }

void AppendOptionErrorText(const std::string& text)
{
    std::lock_guard guard(ErrorLock());
    std::string& current = ErrorText();
    current = current.empty() ? text : current + "\r\n" + text;
}

}  // namespace reelsmith
