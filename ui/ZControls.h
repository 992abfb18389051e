#pragma once
// Controls as the main window's pages make them: named for the tests and the
// accessibility tree, buttons that never act as a dialog's default.

#include <QString>
#include <QStringList>
#include <string>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

QPushButton* ZMakeButton(const char* name, const QString& caption, QWidget* parent);
QLabel* ZMakeBoldLabel(const QString& text, QWidget* parent);
// A radio group: one button per caption in group, laid out in two columns filled
// column by column, named namePrefix + "_" + item, the first one selected. The
// buttons' ids are their item numbers.
QButtonGroup* ZMakeRadioItems(QGroupBox* group, const QStringList& captions, const QString& namePrefix);

// Texts the system hands over in its own encoding (file names, error texts) and back.
QString ZLocalText(const std::string& text);
std::string ZLocalBytes(const QString& text);
