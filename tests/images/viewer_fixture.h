// A host window with the control library and the viewer's classes brought
// up, pictures of known pixels, a recording view host, a menu tracker that
// answers from a script, a recording image store, and stand-ins for the
// shell's and printing's services that note their calls.
#pragma once

#include "common/menu_script.h"
#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "foundation/globals.h"
#include "images/viewer/mainviewwnd.h"
#include "images/viewer/snimokwnd.h"
#include "images/viewer/statwnd.h"
#include "images/viewer/viewerservices.h"
#include "images/viewer/viewerstore.h"
#include "images/viewer/viewhost.h"
#include "ui/init_rows.h"
#include "ui/popupmenu.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A picture of w x h whose source and work pixels are value(x, y); display
// offset 0 and width 255 (grey level = pixel value below 255).
inline DPicturePtr MakePicture(int w, int h, const std::function<int(int, int)>& value)
{
    DPicturePtr p;
    if (!p.CreateSized(w, h))
        return DPicturePtr();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p->source[(size_t)y * w + x] = p->work[(size_t)y * w + x] = (uint16_t)value(x, y);
    p->displayOffset = 0;
    p->displayWidth = 255;
    p->bitsPerPixel = 16;
    p->levels = 65536;
    p->viewCentreX = w / 2;
    p->viewCentreY = h / 2;
    p->spacingX = p->spacingY = 1.0;
    return p;
}

// Records what the views tell their host.
struct RecordingHost : SnimokHost {
    std::vector<std::string> calls;
    SnimokWnd* lastActive = nullptr;
    void SetActiveView(SnimokWnd* view) override
    {
        lastActive = view;
        calls.push_back("active");
    }
    void SetLevelScrolls(SnimokWnd*, int setDefault) override
    {
        calls.push_back(setDefault ? "levels default" : "levels");
    }
};

// Records what the panel asks of the image store.
struct StoreLog {
    static std::vector<std::string>& Calls()
    {
        static std::vector<std::string> calls;
        return calls;
    }
    static const uint8_t*& LastLut()
    {
        static const uint8_t* lut = nullptr;
        return lut;
    }
    static bool& SaveResult()
    {
        static bool result = true;
        return result;
    }
    static ViewerStore Make()
    {
        ViewerStore s = DefaultViewerStore();
        s.saveViewSettings = [](DPicture*, const uint8_t* lut) {
            Calls().push_back("settings");
            LastLut() = lut;
            return SaveResult();
        };
        s.saveNewImage = [](DPicture* p, const uint8_t* lut) {
            Calls().push_back("new image");
            LastLut() = lut;
            if (SaveResult()) {
                p->stored = 1;
                p->imageId = 305;
            }
            return SaveResult();
        };
        s.readPatient = [](DPicture*) {
            Calls().push_back("patient");
            return true;
        };
        s.lookupPatient = [](uint32_t id, const PatientInfo*, wchar_t* text, int capacity) {
            _snwprintf(text, capacity, L"Patient %u", id);
            text[capacity - 1] = 0;
            return id != 0;
        };
        return s;
    }
};

// What the stand-ins for the shell and printing were asked, in order.
struct StandInCall {
    std::string name;   // the service called
    uint32_t a, b;      // its ids (patient, image), 0 when none
    int x, y;           // its point, 0 when none
    int flag;
};
inline std::vector<StandInCall>& StandInCalls()
{
    static std::vector<StandInCall> calls;
    return calls;
}

// A note window that only notes that it was opened.
struct StandInNote : SnimokNote {
    bool Create(HWND, bool editable, DWORD imageKey, DWORD patientKey) override
    {
        StandInCalls().push_back(StandInCall{"NoteCreate", patientKey, imageKey, 0, 0, editable ? 1 : 0});
        return true;
    }
    void Destroy() override {}
    HWND GetHwnd() const override { return nullptr; }
};

// The viewer's service table with every entry a stand-in.
inline ViewerServices StandInServices()
{
    ViewerServices s = {};
    s.showMainPatientWindow = [] { StandInCalls().push_back(StandInCall{"ShowMainPatientWindow", 0, 0, 0, 0, 0}); };
    s.openPatientCard = [](HWND, DWORD* key, int recordId) {
        StandInCalls().push_back(StandInCall{"OpenPatientCard", key ? *key : 0, 0, 0, 0, recordId});
        return -1;
    };
    s.setNoteFromTemplateMenu = [](HWND, DWORD imageKey, int x, int y) {
        StandInCalls().push_back(StandInCall{"SetNoteFromTemplateMenu", 0, imageKey, x, y, 0});
    };
    s.showServiceMenu = [](HWND, int x, int y, int flag) {
        StandInCalls().push_back(StandInCall{"ShowServiceMenu", 0, 0, x, y, flag});
    };
    s.runImageStrip = [](HWND, DWORD patientKey, int x, int y, int flags) {
        StandInCalls().push_back(StandInCall{"RunImageStrip", patientKey, 0, x, y, flags});
        return 1;
    };
    s.newNote = []() -> SnimokNote* { return new StandInNote; };
    s.printSnimokWithCfg = [](HWND, const PrintSnimokRequest* request) {
        if (request)
            StandInCalls().push_back(StandInCall{"PrintSnimokWithCfg", request->picture ? request->picture->imageId : 0,
                                                 0, request->width, request->height, request->ask});
    };
    s.chooseSnimokProfile = [](HWND) { StandInCalls().push_back(StandInCall{"ChooseSnimokProfile", 0, 0, 0, 0, 0}); };
    return s;
}

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        IsAdministrator = false;
        ASSERT_TRUE(RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr));
        ASSERT_TRUE(RegisterViewerClasses());
        host.reset(new harness::HostWindow(hostWidth, hostHeight, 40, 40));
        SetSnimokHost(&recorder);
        SetPanelMode(kToolNone);
        MenuScript::Install();
        StandInCalls().clear();
        oldServices = SetViewerServices(StandInServices());
        StoreLog::Calls().clear();
        StoreLog::SaveResult() = true;
        oldStore = SetViewerStore(StoreLog::Make());
    }
    void TearDown() override
    {
        view.reset();
        DestroyMainView();
        StatisticsWnd::Instance().Destroy();
        SetSnimokHost(nullptr);
        MenuScript::Remove();
        SetViewerStore(oldStore);
        host.reset();
        SetViewerServices(oldServices);
        UnregisterViewerClasses();
        UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
        SetPanelMode(kToolNone);
        IsAdministrator = false;
    }

    // A view in the cell (x, y, w, h) of the host.
    SnimokWnd* MakeView(const DPicturePtr& picture, int x, int y, int w, int h, bool caption = false)
    {
        view.reset(new SnimokWnd);
        if (!view->Create(host->Hwnd(), picture, x, y, w, h, caption))
            return nullptr;
        harness::Pump(30);
        return view.get();
    }
    LRESULT Send(UINT m, WPARAM w, int x, int y)
    {
        return SendMessageW(view->GetHwnd(), m, w, MAKELPARAM(x, y));
    }
    // The window rectangle of the view in the host's client coordinates.
    RECT ViewRectInHost() const
    {
        RECT r;
        GetWindowRect(view->GetHwnd(), &r);
        MapWindowPoints(nullptr, host->Hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    static int CursorCount()
    {
        const int c = ShowCursor(TRUE);
        ShowCursor(FALSE);
        return c - 1;
    }

    int hostWidth = 640, hostHeight = 480;
    std::unique_ptr<harness::HostWindow> host;
    std::unique_ptr<SnimokWnd> view;
    RecordingHost recorder;
    ViewerStore oldStore = DefaultViewerStore();
    ViewerServices oldServices = {};
};
