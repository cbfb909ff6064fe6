#include "burn/burn_runtime.h"

#include <stdint.h>  // libisofs.h needs the fixed-width types first

#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

#include <cstring>
#include <mutex>

using namespace burn;  // libburn declares its C API in this namespace for C++

namespace reelsmith {

namespace {

std::mutex g_Mutex;
bool g_Running = false;

char* Text(const char* literal) { return const_cast<char*>(literal); }

std::string StartLibraries()
{
    if (iso_init() < 0)
        return "The disc image library cannot be started.";
    if (burn_initialize() != 1) {
        iso_finish();
        return "The disc recording library cannot be started.";
    }
    // Names come as UTF-8 whatever the locale, so Joliet and Rock Ridge get them right.
    iso_set_local_charset(Text("UTF-8"), 0);
    // Messages are queued for our error texts, never printed.
    burn_msgs_set_severities(Text("SORRY"), Text("NEVER"), Text("reelsmith: "));
    iso_set_msgs_severities(Text("SORRY"), Text("NEVER"), Text("reelsmith: "));
    // A source that is gone or changed its size while the image is made would otherwise be
    // filled with zeros or cut, and the burn would pass for good: such a file ends the image.
    iso_set_abort_severity(Text("MISHAP"));
    return {};
}

// libburn reports a failed write(2) in its own words and keeps the system's reason apart.
std::string WithCause(const std::string& text, int osErrno)
{
    if (osErrno == 0)
        return text;
    const std::string cause = std::strerror(osErrno);
    if (text.find(cause) != std::string::npos)
        return text;
    const bool sentence = !text.empty() && text.back() == '.';
    return (sentence ? text.substr(0, text.size() - 1) : text) + ": " + cause;
}

// libisofs tells what it would do with a changed or vanished source ("It will be padded
// with 0's", "Filling with 0s."); the image is abandoned instead, so only the fault is kept.
std::string ImageFileText(std::string text)
{
    for (const char* tail : {" It will be ", " Filling with 0s"}) {
        const std::size_t at = text.find(tail);
        if (at != std::string::npos)
            text.erase(at);
    }
    return text;
}

}  // namespace

TBurnRuntime::TBurnRuntime()
{
    std::lock_guard lock(g_Mutex);
    if (!g_Running) {
        m_Error = StartLibraries();
        g_Running = m_Error.empty();
    }
    m_Ok = g_Running;
}

std::string TBurnRuntime::TakeLibraryError(TErrorSource first)
{
    int code = 0;
    int osErrno = 0;
    char severity[80] = {};
    std::string burnText;
    std::string imageText;
    char message[BURN_MSGS_MESSAGE_LEN] = {};
    std::lock_guard lock(g_Mutex);
    if (burn_msgs_obtain(Text("SORRY"), &code, message, &osErrno, severity) == 1)
        burnText = WithCause(message, osErrno);
    int imgId = 0;
    if (iso_obtain_msgs(Text("SORRY"), &code, &imgId, message, severity) == 1)
        imageText = ImageFileText(message);
    if (first == TErrorSource::Image)
        return imageText.empty() ? burnText : imageText;
    return burnText.empty() ? imageText : burnText;
}

void TBurnRuntime::DropLibraryMessages()
{
    int code = 0;
    int osErrno = 0;
    int imgId = 0;
    char severity[80] = {};
    char message[BURN_MSGS_MESSAGE_LEN] = {};
    std::lock_guard lock(g_Mutex);
    burn_msgs_obtain(Text("NEVER"), &code, message, &osErrno, severity);
    iso_obtain_msgs(Text("NEVER"), &code, &imgId, message, severity);
}

std::string TBurnRuntime::TakeRecorderError()
{
    int code = 0;
    int osErrno = 0;
    char severity[80] = {};
    char message[BURN_MSGS_MESSAGE_LEN] = {};
    std::lock_guard lock(g_Mutex);
    if (burn_msgs_obtain(Text("SORRY"), &code, message, &osErrno, severity) == 1)
        return WithCause(message, osErrno);
    return {};
}

void TBurnRuntime::DropRecorderMessages()
{
    int code = 0;
    int osErrno = 0;
    char severity[80] = {};
    char message[BURN_MSGS_MESSAGE_LEN] = {};
    std::lock_guard lock(g_Mutex);
    burn_msgs_obtain(Text("NEVER"), &code, message, &osErrno, severity);
}

}  // namespace reelsmith
