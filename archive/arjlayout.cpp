#include "archive/arjlayout.h"

ArjMetrics ComputeArjMetrics(int screenWidth, int screenHeight, int buttonTextHeight, int statusBarHeight)
{
    ArjMetrics m = {};
    const double w = screenWidth <= 1024 ? screenWidth * 1.27 : screenWidth <= 1152 ? screenWidth * 1.14 : screenWidth;
    const double h = screenHeight < 770 ? screenHeight * 1.15 : screenHeight < 880 ? screenHeight * 1.28 : screenHeight;
    m.scaledWidth = static_cast<int>(w);
    m.scaledHeight = static_cast<int>(h);
    const double W = m.scaledWidth, H = m.scaledHeight;
    m.buttonWidth = static_cast<int>(W / 8);
    m.buttonHeight = static_cast<int>(2.4 * buttonTextHeight);
    m.buttonGap = static_cast<int>(W / 19.69);
    m.sideMargin = static_cast<int>(W / 42.5);
    m.spaceBelowButtons = static_cast<int>(H / 39.38) + statusBarHeight;
    m.spaceAboveButtons = static_cast<int>(1.2 * m.spaceBelowButtons);
    m.boxHeight = static_cast<int>(2 * H / 30.11);
    m.gapAboveBoxes = static_cast<int>(H / 30.11 + m.spaceAboveButtons / 1.5);
    m.statusLineHeight = static_cast<int>(H / 25.6);
    m.gapAboveStatus = static_cast<int>(H / 22.75);
    m.copyFrameHeight = static_cast<int>(H / 17);
    m.gapAboveCopy = static_cast<int>(H / 20);
    m.infoLineHeight = static_cast<int>(H / 30.11);
    m.infoPitch = static_cast<int>(1.1 * m.infoLineHeight);
    m.topSpace = static_cast<int>(H / 22.75);
    m.insetV = static_cast<int>(H / 51.3);
    m.insetH = static_cast<int>(W / 128);
    m.statusBarHeight = statusBarHeight;
    m.clientWidth = 4 * m.buttonWidth + 3 * m.buttonGap + 2 * m.sideMargin;
    m.clientHeight = m.topSpace + 4 * m.infoLineHeight + 3 * m.infoPitch + m.gapAboveCopy + m.copyFrameHeight +
                     m.gapAboveStatus + m.statusLineHeight + m.gapAboveBoxes + m.boxHeight + m.spaceAboveButtons +
                     m.buttonHeight + m.spaceBelowButtons;
    return m;
}

ArjLayout LayoutArjWindow(const ArjMetrics& m, int clientWidth, int clientHeight)
{
    ArjLayout l = {};
    l.statusBar = RECT{0, clientHeight - m.statusBarHeight, clientWidth, clientHeight};

    // The button row, centred.
    const int rowWidth = 4 * m.buttonWidth + 3 * m.buttonGap;
    const int x0 = (clientWidth - rowWidth) / 2;
    const int rowRight = x0 + rowWidth;
    const int buttonBottom = clientHeight - m.spaceBelowButtons;
    const int buttonTop = buttonBottom - m.buttonHeight;
    for (int i = 0; i < kArjButtons; ++i) {
        const int left = x0 + i * (m.buttonWidth + m.buttonGap);
        l.buttons[i] = RECT{left, buttonTop, left + m.buttonWidth, buttonBottom};
    }

    // The two text boxes, each inside its frame.
    const int middle = x0 + rowWidth / 2;
    const int boxBottom = buttonTop - m.spaceAboveButtons;
    const int boxTop = boxBottom - m.boxHeight;
    l.faultBox = RECT{x0 + m.insetH, boxTop, middle - x0 / 2 - m.insetH, boxBottom};
    l.actionBox = RECT{middle + x0 / 2 + m.insetH, boxTop, rowRight - m.insetH, boxBottom};
    l.faultFrame = RECT{x0, boxTop - m.insetV, middle - x0 / 2, boxBottom + m.insetV / 2};
    l.actionFrame = RECT{middle + x0 / 2, boxTop - m.insetV, rowRight, boxBottom + m.insetV / 2};

    // The status line across the row.
    const int statusBottom = boxTop - m.gapAboveBoxes;
    const int statusTop = statusBottom - m.statusLineHeight;
    l.statusLine = RECT{x0 + m.insetH, statusTop, rowRight - m.insetH, statusBottom};
    l.statusFrame = RECT{x0, statusTop - m.insetV, rowRight, statusBottom + m.insetV / 2};

    // The progress bar inside "Copying Image".
    const int copyBottom = statusTop - m.gapAboveStatus;
    const int copyTop = copyBottom - m.copyFrameHeight;
    l.copyFrame = RECT{x0, copyTop, rowRight, copyBottom};
    const int barInset = m.copyFrameHeight / 4;
    l.progressBar = RECT{x0 + barInset, copyTop + barInset, rowRight - barInset, copyBottom - barInset};

    // Four rows of two lines.
    const int rowsBottom = copyTop - m.gapAboveCopy;
    const int rowsTop = rowsBottom - (4 * m.infoLineHeight + 3 * m.infoPitch);
    const int leftStart = x0 + m.insetH;
    const int leftEnd = l.faultBox.right;
    const int rightStart = leftEnd + x0;
    const int rightEnd = rowRight - m.insetH;
    for (int row = 0; row < 4; ++row) {
        const int top = rowsTop + row * (m.infoLineHeight + m.infoPitch);
        l.info[2 * row] = RECT{leftStart, top, leftEnd, top + m.infoLineHeight};
        l.info[2 * row + 1] = RECT{rightStart, top, rightEnd, top + m.infoLineHeight};
    }
    l.infoFrame = RECT{x0, rowsTop - m.insetV, rowRight, rowsBottom + m.insetV / 2};
    return l;
}
