#pragma once
// Where the terminal window's new lines are said to a screen reader. Qt 6.4 has no
// announcement of its own; its accessibility bridge passes a text insertion in an
// object of the terminal role on as AT-SPI "object:text-changed:insert", which screen
// readers read out as a terminal's new output. The text area cannot be that object:
// it reports every change it takes (up to 20 times a second at 1 MB/s, each as long
// as the lines taken). This widget is, holding only the text last said, said no more
// often than the caller says it (ZTermAnnouncer). It takes no room on the screen.
// Window thread.

#include <QString>
#include <QWidget>

class ZTermLiveText : public QWidget {
    Q_OBJECT

public:
    explicit ZTermLiveText(QWidget* parent);

    // Replaces the text and reports it as inserted.
    void Say(const QString& text);
    // The text said last.
    const QString& Said() const { return said_; }

private:
    QString said_;
};
