#include "burn/burn_runtime.h"

#include <stdint.h>  // libisofs.h needs the fixed-width types first

#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

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
    return {};
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

std::string TBurnRuntime::TakeLibraryError()
{
    int code = 0;
    int osErrno = 0;
    char severity[80] = {};
    std::string text;
    char message[BURN_MSGS_MESSAGE_LEN] = {};
    std::lock_guard lock(g_Mutex);
    if (burn_msgs_obtain(Text("SORRY"), &code, message, &osErrno, severity) == 1)
        text = message;
    int imgId = 0;
    if (iso_obtain_msgs(Text("SORRY"), &code, &imgId, message, severity) == 1 && text.empty())
        text = message;
    return text;
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

}  // namespace reelsmith
