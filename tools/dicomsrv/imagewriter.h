// One image as a DICOM file: the client's attribute array turned into a data
// set (dicomfile.h) of a CR image, the pixels read from the client's named
// section during the call, the file written.
//
// The data set holds, besides what the client sends (names it does not know
// are left out): the specific character set "ISO_IR 192" (every text is
// UTF-8), the SOP class (CR image storage) and new study, series and
// instance UIDs, modality "CR", samples per pixel 1, "MONOCHROME2", the high
// bit (bits stored - 1) and the pixel data; and, empty, every attribute of
// the CR image's modules that must be present even when unknown (type 2):
// the patient's name, id, birth date and sex, the study date and time, the
// referring physician, study id, accession number, series number,
// manufacturer, body part, view position, instance number, patient
// orientation and laterality.
//
// The client must send Rows, Columns, Bits Allocated 16 (the section holds
// two bytes a pixel) and Bits Stored from 1 to 16; the section must hold
// Rows x Columns x 2 bytes. A window is written only when both its centre
// and a width of at least 1 came.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace dicomsrv {

struct ImageFacts
{
    std::wstring patientId;     // as sent, for the queue entry's name
    std::wstring accession;
};

// Writes the file at `path` (replacing one that exists); "" on success, else
// the error text (and no file is left).
std::wstring WriteDicomImage(const std::wstring& path, const VARIANT& attributes, const std::wstring& section,
                             ImageFacts* facts);

}  // namespace dicomsrv
