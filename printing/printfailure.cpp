#include "printing/printfailure.h"

#include "database/dberrors.h"
#include "foundation/messages.h"
#include "foundation/textutil.h"
#include "printing/printjob.h"
#include "printing/printstatewnd.h"
#include "resources/strings.h"

#include <vector>

std::wstring PrintFailureText(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const ExcAbortPrint&) {
        return std::wstring();
    } catch (const StrExc& e) {
        return LoadText(e.id);
    } catch (const DODBErrors& e) {
        const int length = e.GetText(nullptr, 0);
        if (length <= 0)
            return LoadText(IDS_DATABASE_WORK_ERROR);
        std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
        e.GetText(text.data(), length);
        return text.data();
    } catch (const MsgExcept& e) {
        wchar_t text[1024] = L"";
        e.GetText(text, 1024);
        return text;
    } catch (...) {
        return LoadText(IDS_UNHANDLED_EXCEPTION);
    }
}

void ShowPrintFailure(DocPrintStateWnd& window, std::exception_ptr failure)
{
    const std::wstring text = PrintFailureText(failure);
    if (text.empty())
        return;
    window.ShowFailure(text.c_str());
    MessageBeep(MB_ICONASTERISK);
    window.WaitForClose(INFINITE);
}
