#pragma once
// The string editor of a trigger sequence: one character per element in a one-line
// field of at most n characters, n being the length of the initial text. Shown
// modally; the caller reads Buffer after OK. Text is 8-bit: each character is one
// byte (Latin-1).

#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

class QLineEdit;
class QPushButton;

class Tfrm_StringEditor : public QDialog {
    Q_OBJECT

public:
    Tfrm_StringEditor(QWidget* owner, const QString& caption, const std::string& initialText);
    ~Tfrm_StringEditor() override;

    // n elements: element i is character i of the field as a signed 8-bit value
    // (characters from 128 up give negative elements). Elements beyond the field's
    // current text keep the values they had. A character outside 8 bits counts as "?".
    const std::vector<int32_t>& Buffer() const { return buffer_; }

    // Runs on every change of the field's text.
    void EditChange();

private:
    std::vector<int32_t> buffer_;
    QLineEdit* Edit = nullptr;
    QPushButton* btn_OK = nullptr;
    QPushButton* btn_Cancel = nullptr;
};
