#include "printing/jobstatus.h"

#include "foundation/textutil.h"
#include "resources/strings.h"

const UINT kJobStatusTextIds[kJobStatusBits] = {
    IDS_JOB_STATUS_PAUSED,   IDS_JOB_STATUS_ERROR,     IDS_JOB_STATUS_DELETING, IDS_JOB_STATUS_SPOOLING,
    IDS_JOB_STATUS_PRINTING, IDS_JOB_STATUS_OFFLINE,   IDS_JOB_STATUS_PAPER_OUT, IDS_JOB_STATUS_PRINTED,
    IDS_JOB_STATUS_DELETED,  IDS_JOB_STATUS_BLOCKED,   IDS_JOB_STATUS_USER_INTERVENTION, IDS_JOB_STATUS_RESTART,
};

std::wstring JoinJobStatus(DWORD status, const std::wstring* texts, size_t capacity)
{
    std::wstring out;
    if (capacity == 0)
        return out;
    const size_t room = capacity - 1;   // characters before the terminator
    for (int bit = 0; bit < kJobStatusBits; ++bit) {
        if (!(status & (1u << bit)))
            continue;
        if (!out.empty()) {
            if (room - out.size() < 3)
                continue;
            out += L" - ";
        }
        if (texts[bit].size() <= room - out.size())
            out += texts[bit];
    }
    return out;
}

std::wstring JobStatusText(DWORD status)
{
    std::wstring texts[kJobStatusBits];
    for (int bit = 0; bit < kJobStatusBits; ++bit)
        if (status & (1u << bit))
            texts[bit] = LoadText(kJobStatusTextIds[bit]);
    return JoinJobStatus(status, texts, 1024);
}

int PrintedBarWidth(int innerWidth, DWORD bytesPrinted, DWORD totalBytes)
{
    if (innerWidth <= 0)
        return 0;
    if (totalBytes == 0 || bytesPrinted >= totalBytes)
        return innerWidth;
    return static_cast<int>(static_cast<unsigned long long>(innerWidth) * bytesPrinted / totalBytes);
}
