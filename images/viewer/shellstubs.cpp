#include <wchar.h>
#include "images/viewer/shellstubs.h"

#include "foundation/globals.h"
#include "images/viewer/mainviewwnd.h"
#include "images/pixels/picture.h"
#include "images/viewer/viewhost.h"

namespace {

void Note(const char* name, uint32_t a = 0, uint32_t b = 0, int x = 0, int y = 0, int flag = 0)
{
    StandInCalls().push_back(StandInCall{name, a, b, x, y, flag});
}

}  // namespace

std::vector<StandInCall>& StandInCalls()
{
    static std::vector<StandInCall> calls;
    return calls;
}

void PrintSnimokWithCfg(HWND owner, const PrintSnimokRequest* request)
{
    if (!request)
        return;
    Note("PrintSnimokWithCfg", request->picture ? request->picture->imageId : 0, 0, request->width, request->height,
         request->ask);
}

void ChooseSnimokProfile(HWND owner)
{
    Note("ChooseSnimokProfile");
}
