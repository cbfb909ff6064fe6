#include "update/update_check.h"

namespace reelsmith {

TUpdateCheck::TUpdateCheck(std::string url, TDataHandler onData, TDownloadLimits limits)
    : m_Url(std::move(url)), m_OnData(std::move(onData)), m_Limits(limits)
{
}

TUpdateCheck::~TUpdateCheck()
{
    m_Cancel = true;
    if (m_Thread.joinable())
        m_Thread.join();
}

TDownloadLimits TUpdateCheck::DefaultLimits()
{
    TDownloadLimits limits;
    limits.MaxBodyBytes = kUpdateBodyCap;
    limits.TimeoutMs = kUpdateTimeLimitMs;
    limits.ConnectTimeoutMs = kUpdateTimeLimitMs;
    return limits;
}

void TUpdateCheck::Start()
{
    if (!m_Thread.joinable())
        m_Thread = std::thread([this] { Run(); });
}

void TUpdateCheck::Run()
{
    const TDownloadResult result = DownloadText(m_Url, m_Limits, &m_Cancel);
    if (result.Success && !m_Cancel && m_OnData)
        m_OnData(result.Body);
    if (m_OnDone)
        m_OnDone(result);
}

}  // namespace reelsmith
