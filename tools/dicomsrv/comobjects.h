// The COM objects of the DICOM export server stand-in.
//
// The application object (ProgID "IDicomExportServer.Application") is the
// one the class factory hands out and the one registered as the running
// object; its one member "Instance", read as a property with the argument
// "DicomControl", gives a new working object. The working object answers the
// six members the workstation calls, through IDispatch without a type
// library:
//   GetTargetList()                                  array of target names
//   SendImage(target, code page, attributes, section, "")   "" or error text
//   SaveImage(file, code page, attributes, section)         "" or error text
//   GetQueueStatus(target)          array of [entry, last error, attempts]
//   DeleteImage(entry), ResetImage(entry)                   "" or error text
// The pixels are read from the named section during SendImage and SaveImage
// (imagewriter.h); the queues are spool.h's; every member first applies the
// failure injection of config.h.
//
// The server runs in the multithreaded apartment: calls come on several
// threads, and the queues take their own lock. Objects count themselves, so
// that a server started by COM can end when nobody holds one (dicomsrv.cpp).
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace dicomsrv {

extern const CLSID kServerClsid;
extern const wchar_t kProgId[];

// The application object with one reference for the caller.
IDispatch* NewApplication();
// Working objects alive, and made since the start.
LONG LiveControls();
LONG ControlsMade();

// The class factory of the application object, with one reference.
IClassFactory* NewClassFactory();
// LockServer locks held by clients.
LONG ServerLocks();

}  // namespace dicomsrv
