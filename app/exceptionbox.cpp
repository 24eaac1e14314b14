// How the program shows an exception: see exceptionbox.h.
#include "app/exceptionbox.h"

#include "database/dberrors.h"
#include "foundation/messages.h"
#include "foundation/registry.h"
#include "resources/strings.h"
#include "ui/window_errors.h"

void ShowProgramException(HWND owner, std::exception_ptr e)
{
    if (!e)
        return;
    try {
        std::rethrow_exception(e);
    } catch (const MsgExcept& message) {
        message.Show(owner, MB_OK | MB_ICONEXCLAMATION);
    } catch (const DODBErrors& error) {
        error.ShowMessage(owner, nullptr, MB_OK | MB_ICONEXCLAMATION);
    } catch (const RegException& error) {
        ShowSystemErrorBox(error.Error(), nullptr);
    } catch (UINT id) {
        if (id)
            MessageBoxId(owner, id, MB_OK | MB_ICONEXCLAMATION);
    } catch (int id) {
        if (id)
            MessageBoxId(owner, static_cast<UINT>(id), MB_OK | MB_ICONEXCLAMATION);
    } catch (...) {
        MessageBoxId(owner, IDS_UNKNOWN_INTERNAL_ERROR, MB_OK | MB_ICONEXCLAMATION);
    }
}

void InstallProgramExceptionShower()
{
    SetWindowExceptionShower(&ShowProgramException);
}
