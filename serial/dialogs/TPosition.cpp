#include "TPosition.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace {

QRect ScreenArea(const QWidget* reference) {
    QScreen* screen = reference != nullptr ? reference->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

QPoint CentredIn(const QRect& area, const QSize& size) {
    return {area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2};
}

}  // namespace

bool FormPlacement(TPosition position, int left, int top, const QWidget* reference, const QSize& formSize,
                   QPoint& topLeft) {
    switch (position) {
        case poDesigned:
        case poDefaultSizeOnly:
            topLeft = QPoint(left, top);
            return true;
        case poDefault:
        case poDefaultPosOnly:
            return false;
        case poScreenCenter:
        case poDesktopCenter:
            topLeft = CentredIn(ScreenArea(reference), formSize);
            return true;
        case poMainFormCenter:
        case poOwnerFormCenter:
            if (reference == nullptr) {
                topLeft = CentredIn(ScreenArea(nullptr), formSize);
            } else {
                const QWidget* window = reference->window();
                topLeft = CentredIn(window->frameGeometry(), formSize);
            }
            return true;
    }
    return false;
}

void PlaceForm(QWidget& form, TPosition position, int left, int top, const QWidget* reference) {
    // The native window knows the frame's size; the form is centred frame and all.
    form.winId();
    QPoint topLeft;
    if (FormPlacement(position, left, top, reference, form.frameGeometry().size(), topLeft))
        form.move(topLeft);
}
