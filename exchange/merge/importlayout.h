// The merge window's layout arithmetic, apart from any window: where the four
// frames, the four text lines, the two panes and the four buttons stand for a
// client width, a font height and a button height.
//
// With h the font height: line height L = 3h/2, gap G = h/2 + 4 (at least
// 10), half line H = L/2, all in integer arithmetic. Top to bottom: the frame
// "Информация" (the two counters side by side), "Импорт" (patient, image),
// "Статус" (status pane), "Ошибка" (error pane), then the buttons Start,
// Stop, Eject, Close in one row.
#pragma once

#include <windows.h>

struct ImportLayout {
    enum Frame { kInfoFrame, kImportFrame, kStatusFrame, kErrorFrame, kFrames };
    enum Line { kNotMergedLine, kMergedLine, kPatientLine, kImageLine, kLines };
    enum Pane { kStatusPane, kErrorPane, kPanes };
    enum Button { kStart, kStop, kEject, kClose, kButtons };

    RECT frames[kFrames];
    RECT lines[kLines];
    RECT panes[kPanes];
    RECT buttons[kButtons];
};

// The layout for a client area `width` wide.
ImportLayout ComputeImportLayout(int width, int fontHeight, int buttonHeight);

// The client height the window needs: 7L + 7G + 6H + button height + 84.
int ImportMinClientHeight(int fontHeight, int buttonHeight);
