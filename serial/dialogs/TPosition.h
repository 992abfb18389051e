#pragma once
// Where a dialog appears when it is shown, in the terms the serial library's
// components publish (PositionDlg, LeftDlg, TopDlg).

#include <QPoint>
#include <QSize>

class QWidget;

enum TPosition {
    poDesigned,         // at the given left and top, in screen pixels
    poDefault,          // where the window system puts it
    poDefaultPosOnly,   // where the window system puts it (the size is fixed anyway)
    poDefaultSizeOnly,  // at the given left and top (the size is fixed anyway)
    poScreenCenter,     // centred on the screen of the reference window (or the primary screen)
    poDesktopCenter,    // the same
    poMainFormCenter,   // centred on the reference window: the main window that owns the dialog
    poOwnerFormCenter,  // the same
};

// Moves the top-level window form to where position puts it, before it is shown.
// reference is the window the dialog belongs to; without one the centred kinds
// centre on the screen. The window-system kinds leave the form alone, so that Qt
// places it (over its parent when it has one).
void PlaceForm(QWidget& form, TPosition position, int left, int top, const QWidget* reference);

// The top-left corner PlaceForm gives a form of size formSize; false for the kinds
// the window system places.
bool FormPlacement(TPosition position, int left, int top, const QWidget* reference, const QSize& formSize,
                   QPoint& topLeft);
