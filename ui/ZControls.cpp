#include "ZControls.h"

#include <QButtonGroup>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

QPushButton* ZMakeButton(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QLabel* ZMakeBoldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QButtonGroup* ZMakeRadioItems(QGroupBox* group, const QStringList& captions, const QString& namePrefix) {
    auto* layout = new QGridLayout(group);
    auto* items = new QButtonGroup(group);
    const int rows = static_cast<int>((captions.size() + 1) / 2);
    for (int item = 0; item < captions.size(); ++item) {
        auto* radio = new QRadioButton(captions[item], group);
        radio->setObjectName(namePrefix + QStringLiteral("_%1").arg(item));
        items->addButton(radio, item);
        layout->addWidget(radio, item % rows, item / rows);
    }
    if (!captions.isEmpty()) items->button(0)->setChecked(true);
    return items;
}

QString ZLocalText(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ZLocalBytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}
