#pragma once
// The string editor of a trigger sequence: a masked one-line field of exactly n
// positions, one character per element, n being the length of the initial text.
// Nothing ever shifts: a removed character leaves a blank (shown and returned as a
// space) in its position, and typing writes over the characters under the cursor
// or the selection. Shown modally; the caller reads Buffer after OK. Text is 8-bit:
// each character is one byte (Latin-1).

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
    // The field shows initialText; a character a field cannot show (a control
    // character) shows as ".". With one element per character, a position the user
    // leaves alone keeps its element (AnyByte, a control byte or a value beyond a byte
    // included); without, it keeps the code of its initial character.
    Tfrm_StringEditor(QWidget* owner, const QString& caption, const std::string& initialText,
                      const std::vector<int32_t>& elements = {});
    ~Tfrm_StringEditor() override;

    // n elements. A position the user typed into, or whose character differs from the
    // one it started with, holds the code of the character it shows as a signed 8-bit
    // value (characters from 128 up give negative elements, a blank 20); any other
    // position its initial element. A typed character outside 8 bits shows as "?".
    const std::vector<int32_t>& Buffer() const { return buffer_; }

    // Runs on every change of the field's text.
    void EditChange();

private:
    void MarkWritten(int from, int to);

    std::vector<int32_t> initial_;
    QString initialShown_;
    // Positions typed into: typing the character a position already shows still
    // chooses that character's code over the initial element.
    std::vector<bool> written_;
    std::vector<int32_t> buffer_;
    QLineEdit* Edit = nullptr;
    QPushButton* btn_OK = nullptr;
    QPushButton* btn_Cancel = nullptr;
};
