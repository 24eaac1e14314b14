// The send queues of the stand-in: one folder a target below the spool
// folder (config.h), one DICOM file "<entry>.dcm" an image waiting, and
// beside it "<entry>.state" with the number of attempts and the last error.
//
// A send writes the image into the target's queue and delivers it at once:
// a copy into the target's folder, after which the entry leaves the queue.
// When the target cannot be reached (no folder configured, or the folder
// missing) the entry stays with one attempt and the reason; it stays until
// it is deleted. Resetting an entry sets its attempts back to 0.
//
// Entry names are "<number>_<patient id>_<accession number>", the number
// counting up over all queues, so that a name is unique and the queue lists
// in the order the images came. Every operation runs under one lock: the
// server takes calls on several threads.
#pragma once

#include "tools/dicomsrv/config.h"

#include <oleauto.h>

#include <string>
#include <vector>

namespace dicomsrv {

struct QueueEntry
{
    std::wstring name;
    std::wstring error;     // last error, "" when none
    int attempts;
};

// Writes the image into the target's queue and tries to deliver it; "" when
// the image was accepted (delivered or queued), else the error text.
std::wstring EnqueueImage(const Target& target, const VARIANT& attributes, const std::wstring& section);
// The entries of a target's queue, oldest first.
std::vector<QueueEntry> ListQueue(const std::wstring& target);
// "" when the entry (of any queue) was deleted or reset, else the error text.
std::wstring DeleteEntry(const std::wstring& entry);
std::wstring ResetEntry(const std::wstring& entry);

}  // namespace dicomsrv
