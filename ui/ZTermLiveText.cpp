#include "ZTermLiveText.h"

#include <QAccessibleWidget>

namespace {

// A read-only text of the terminal role that holds what was said last.
class LiveTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit LiveTextAccessible(ZTermLiveText* widget) : QAccessibleWidget(widget, QAccessible::Terminal) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    using QAccessibleWidget::text;
    QString text(int start, int end) const override { return Said().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(Said().size()); }
    int cursorPosition() const override { return characterCount(); }
    void setCursorPosition(int) override {}
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = *end = 0;
        return {};
    }

private:
    const QString& Said() const { return static_cast<const ZTermLiveText*>(object())->Said(); }
};

QAccessibleInterface* LiveTextFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("ZTermLiveText") && object->isWidgetType())
        return new LiveTextAccessible(static_cast<ZTermLiveText*>(object));
    return nullptr;
}

}  // namespace

ZTermLiveText::ZTermLiveText(QWidget* parent) : QWidget(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(LiveTextFactory);
        return true;
    }();
    (void)installed;
    setFixedSize(0, 0);
}

void ZTermLiveText::Say(const QString& text) {
    said_ = text;
    QAccessibleTextInsertEvent inserted(this, 0, text);
    QAccessible::updateAccessibility(&inserted);
}
