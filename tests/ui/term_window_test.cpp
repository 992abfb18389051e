// The terminal window: the bytes of a capture as lines with the options chosen, the
// line typed and the keys typed straight as the bytes sent, the end followed, the
// text saved, and nothing sent without a capture.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <string>
#include <vector>

#include "Tfrm_Term.h"
#include "ZFileDialog.h"
#include "ZTermAnnouncer.h"
#include "ZTermLiveText.h"

static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A window whose sends are kept instead of going to a port.
class TermWindow {
public:
    explicit TermWindow(bool shown = true) {
        if (shown) window_.show();
        window_.SetSendFunction([this](const std::vector<uint8_t>& bytes, std::string&) {
            sent_.append(bytes.begin(), bytes.end());
            return ZSendResult::Sent;
        });
        window_.CaptureStateChanged(true);
    }
    Tfrm_Term& Window() { return window_; }
    template <typename T>
    T* Control(const char* name) {
        T* control = window_.findChild<T*>(QLatin1String(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    void Feed(const std::string& bytes, bool sent = false) {
        window_.ByteObserver()->OnBytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                                        static_cast<int>(bytes.size()), sent, 1);
    }
    // The window takes the queue as its timer would.
    void Tick() { window_.tmr_RepaintTimer(); }
    const std::string& Sent() const { return sent_; }

private:
    Tfrm_Term window_;
    std::string sent_;
};

// A setting of the window by a control's name: a combo box's index or a check box's state.
struct Setting {
    const char* Control;
    int Value;
};

struct ShownCase {
    const char* Name;
    std::vector<Setting> Settings;
    // Pieces received ('>' first: sent instead); each piece is taken on its own tick.
    std::vector<std::string> Pieces;
    QString Shown;
};

void Apply(TermWindow& term, const std::vector<Setting>& settings) {
    for (const Setting& setting : settings) {
        if (auto* box = term.Window().findChild<QComboBox*>(QLatin1String(setting.Control)))
            box->setCurrentIndex(setting.Value);
        else if (auto* check = term.Window().findChild<QCheckBox*>(QLatin1String(setting.Control)))
            check->setChecked(setting.Value != 0);
        else
            ADD_FAILURE() << setting.Control;
    }
}

TEST(TermWindowTest, BytesShownAsLines) {
    const std::vector<ShownCase> rows = {
        {"LineEnds", {}, {"a\r\nb\nc"}, "a\nb\nc"},
        {"CrOverwrites", {}, {"abc\rX"}, "Xbc"},
        {"OpenLineGrowsAcrossTicks", {}, {"ab", "c\nd", "e"}, "abc\nde"},
        {"CrMode", {{"cb_NewLine", 1}}, {"a\rb\r\nc"}, "a\nb\nc"},
        {"SentHidden", {}, {"a", ">typed", "b"}, "ab"},
        {"SentShown", {{"chk_ShowSent", 1}}, {"a", ">t", "b"}, "atb"},
        {"LocalEcho", {{"chk_LocalEcho", 1}}, {">t", "b"}, "tb"},
        {"Controls", {{"chk_ShowControls", 1}}, {"a\t\n"}, QString::fromUtf8("a\xe2\x90\x89\xe2\x90\x8a\n")},
        {"InvalidUtf8", {}, {"\xff" "a"}, "\\xFFa"},
        {"Latin1", {{"cb_Charset", 1}}, {"\xe9"}, QString::fromUtf8("\xc3\xa9")},
        {"EscapesApplied", {}, {"\x1b[1;31mred\x1b[0m\x1b[2K\rok"}, "ok"},
        {"Stamps", {{"cb_TimeStamps", 1}}, {"a\nb"}, "99:99:99 a\n99:99:99 b"},
    };
    for (const ShownCase& row : rows) {
        TermWindow term;
        Apply(term, row.Settings);
        for (const std::string& piece : row.Pieces) {
            if (!piece.empty() && piece[0] == '>')
                term.Feed(piece.substr(1), true);
            else
                term.Feed(piece);
            term.Tick();
        }
        QString shown = term.Window().ShownText();
        if (row.Shown.contains(u'9')) shown.replace(QRegularExpression(QStringLiteral("[0-9]")), QStringLiteral("9"));
        EXPECT_EQ(shown, row.Shown) << row.Name;
    }
}

// Bytes the queue could not take are said in a line of their own once the window
// takes the queue; the text goes on around it.
TEST(TermWindowTest, BytesNotShownAreSaid) {
    TermWindow term;
    term.Feed("a\n");
    term.Feed(std::string(Tfrm_Term::MaxQueuedBytes, 'x'));
    term.Feed("b");
    term.Tick();
    term.Feed("c");
    term.Tick();
    EXPECT_EQ(term.Window().ShownText(),
              QStringLiteral("a\nb\n%1 bytes were not shown: the window did not keep up (they are in the capture).\nc")
                  .arg(Tfrm_Term::MaxQueuedBytes));
}

// Clear forgets the text; what comes after starts a fresh one.
TEST(TermWindowTest, ClearStartsAfresh) {
    TermWindow term;
    term.Feed("old\npart");
    term.Tick();
    QTest::mouseClick(term.Control<QPushButton>("btn_Clear"), Qt::LeftButton);
    EXPECT_EQ(term.Window().ShownText(), QString());
    term.Feed("new");
    term.Tick();
    EXPECT_EQ(term.Window().ShownText(), QStringLiteral("new"));
}

// The window takes bytes only while shown: what came while it was hidden is in the
// capture, not in the text. Steps: '+' shows, '-' hides, anything else is fed and ticked.
TEST(TermWindowTest, TakesBytesOnlyWhileShown) {
    const struct {
        std::vector<std::string> Steps;
        const char* Shown;
    } rows[] = {
        {{"hidden\n", "+", "shown"}, "shown"},
        {{"+", "a\n", "-", "b\n", "+", "c"}, "a\nc"},
        {{"+", "a", "-", "+", "b"}, "ab"},
    };
    for (const auto& row : rows) {
        TermWindow term(false);
        for (const std::string& step : row.Steps) {
            if (step == "+" || step == "-") {
                term.Window().setVisible(step == "+");
                continue;
            }
            term.Feed(step);
            term.Tick();
        }
        EXPECT_EQ(term.Window().ShownText(), QString::fromLatin1(row.Shown)) << row.Steps.size();
    }
}

// The text keeps at most the lines set: past them the oldest go, down to all but a
// sixteenth of the limit at once; the open line stays.
TEST(TermWindowTest, ScrollbackBounded) {
    struct Case {
        int MaxLines;
        int LinesFed;  // "0\n" to "N-1\n", a tick each
        int FirstKept;
    };
    const Case rows[] = {{32, 32, 0}, {32, 33, 3}, {32, 40, 9}, {3, 5, 2}, {0, 2, 2}};
    for (const Case& row : rows) {
        TermWindow term;
        term.Window().SetMaxLines(row.MaxLines);
        for (int line = 0; line < row.LinesFed; ++line) {
            term.Feed(std::to_string(line) + '\n');
            term.Tick();
        }
        term.Feed("open");
        term.Tick();
        QStringList expected;
        for (int line = row.FirstKept; line < row.LinesFed; ++line) expected << QString::number(line);
        expected << QStringLiteral("open");
        EXPECT_EQ(term.Window().ShownText(), expected.join(u'\n')) << row.MaxLines << " " << row.LinesFed;
    }
}

// New lines said to a screen reader: at most once every IntervalMs, the lines that
// came since the last time, of more than MaxChars characters the newest whole lines
// (or the end of one longer line). The clock is the test's.
TEST(TermWindowTest, NewLinesSaidPolitely) {
    constexpr int64_t interval = ZTermAnnouncer::IntervalMs;
    std::vector<std::u32string> many;  // eleven lines of a tenth of the bound: the last nine fit
    for (char32_t c = U'a'; c < U'a' + 11; ++c) many.emplace_back(ZTermAnnouncer::MaxChars / 10, c);
    std::u32string lastNine = many[2];
    for (size_t i = 3; i < many.size(); ++i) lastNine += U'\n' + many[i];
    const std::u32string longLine = U"start" + std::u32string(ZTermAnnouncer::MaxChars, U'x');
    struct Step {
        std::vector<std::u32string> Lines;  // finished before the tick
        int64_t AtMs;
        std::u32string Said;
    };
    struct Case {
        const char* Name;
        std::vector<Step> Steps;
    };
    const std::vector<Case> rows = {
        {"FirstLinesAtOnce", {{{U"a", U"b"}, 0, U"a\nb"}}},
        {"NothingNewNothingSaid", {{{}, 0, U""}, {{U"a"}, 1, U"a"}}},
        {"WithinTheIntervalTheyWait",
         {{{U"a"}, 0, U"a"}, {{U"b"}, interval - 1, U""}, {{U"c"}, interval, U"b\nc"}}},
        {"EmptyLinesAddNothing", {{{U"", U""}, 0, U""}, {{U"", U"a", U""}, 1, U"a"}}},
        {"BoundedByWholeLines", {{many, 0, lastNine}}},
        {"ALongerLineKeepsItsEnd", {{{U"before", longLine}, 0, longLine.substr(5)}}},
    };
    for (const Case& row : rows) {
        ZTermAnnouncer announcer;
        for (const Step& step : row.Steps) {
            for (const std::u32string& line : step.Lines) announcer.AddLine(line);
            const std::u32string said = announcer.Take(step.AtMs);
            EXPECT_EQ(QString::fromUcs4(said.data(), static_cast<qsizetype>(said.size())),
                      QString::fromUcs4(step.Said.data(), static_cast<qsizetype>(step.Said.size())))
                << row.Name << " at " << step.AtMs;
            EXPECT_LE(said.size(), ZTermAnnouncer::MaxChars) << row.Name;
        }
    }
    // The window says its first lines at once, in an object of the terminal role.
    TermWindow term;
    term.Feed("one\ntwo\nopen");
    term.Tick();
    auto* live = term.Control<ZTermLiveText>("lbl_NewLines");
    EXPECT_EQ(live->Said(), QStringLiteral("one\ntwo"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(live);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Terminal);
    ASSERT_NE(accessible->textInterface(), nullptr);
    EXPECT_EQ(accessible->textInterface()->text(0, accessible->textInterface()->characterCount()),
              live->Said());
}

// A typed action: text typed into the line and Enter, or keys typed straight at the text.
struct InputStep {
    enum Kind { Line, Key, Paste } Type;
    QString Text;  // the line, or the clipboard
    int QtKey = 0;
    Qt::KeyboardModifiers Modifiers = Qt::NoModifier;
};

struct InputCase {
    const char* Name;
    std::vector<Setting> Settings;
    std::vector<InputStep> Steps;
    std::string Sent;
    bool TypeStraightAfter = false;
};

InputStep Line(const QString& text) {
    return {InputStep::Line, text};
}
InputStep Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return {InputStep::Key, QString(), key, modifiers};
}
InputStep Pasted(const QString& text) {
    return {InputStep::Paste, text};
}

TEST(TermWindowTest, InputSentAsBytes) {
    const std::vector<InputCase> rows = {
        {"LineWithCr", {}, {Line("AT")}, "AT\r"},
        {"LineWithCrLf", {{"cb_LineEnd", 3}}, {Line("AT")}, "AT\r\n"},
        {"LineWithoutEnd", {{"cb_LineEnd", 0}}, {Line("AT")}, "AT"},
        {"EmptyLineSendsTheEnd", {{"cb_LineEnd", 2}}, {Line("")}, "\n"},
        {"Latin1Line", {{"cb_Charset", 1}}, {Line(QString::fromUtf8("\xc3\xa9\xe2\x82\xac"))}, "\xe9?\r"},
        {"StraightKeys",
         {{"chk_TypeStraight", 1}},
         {Key(Qt::Key_L), Key(Qt::Key_C, Qt::ControlModifier), Key(Qt::Key_Up), Key(Qt::Key_Return)},
         "l\x03\x1b[A\r",
         true},
        {"StraightEnterMapped", {{"cb_LineEnd", 3}, {"chk_TypeStraight", 1}}, {Key(Qt::Key_Return)}, "\r\n", true},
        // One Escape goes out; the second in a row leaves the mode and sends nothing.
        {"EscapeTwiceLeaves",
         {{"chk_TypeStraight", 1}},
         {Key(Qt::Key_Escape), Key(Qt::Key_Escape), Key(Qt::Key_A)},
         "\x1b",
         false},
        {"EscapeThenKeyStays",
         {{"chk_TypeStraight", 1}},
         {Key(Qt::Key_Escape), Key(Qt::Key_A), Key(Qt::Key_Escape)},
         "\x1b" "a\x1b",
         true},
        {"AltKey", {{"chk_TypeStraight", 1}}, {Key(Qt::Key_X, Qt::AltModifier)}, "\x1bx", true},
        {"PasteLineEndsConverted", {{"cb_LineEnd", 3}}, {Pasted("a\nb\r\nc")}, "a\r\nb\r\nc"},
        {"PasteWithoutLineEndUsesCr", {{"cb_LineEnd", 0}}, {Pasted("a\nb")}, "a\rb"},
    };
    for (const InputCase& row : rows) {
        TermWindow term;
        term.Window().show();
        Apply(term, row.Settings);
        auto* input = term.Control<QLineEdit>("ed_Input");
        auto* text = term.Control<QPlainTextEdit>("txt_Terminal");
        for (const InputStep& step : row.Steps) {
            switch (step.Type) {
                case InputStep::Line:
                    input->setText(step.Text);
                    QTest::keyClick(input, Qt::Key_Return);
                    break;
                case InputStep::Key:
                    QTest::keyClick(text, static_cast<Qt::Key>(step.QtKey), step.Modifiers);
                    break;
                case InputStep::Paste:
                    QApplication::clipboard()->setText(step.Text);
                    QTest::mouseClick(term.Control<QPushButton>("btn_Paste"), Qt::LeftButton);
                    break;
            }
        }
        EXPECT_EQ(term.Sent(), row.Sent) << row.Name;
        EXPECT_EQ(term.Control<QCheckBox>("chk_TypeStraight")->isChecked(), row.TypeStraightAfter) << row.Name;
    }
}

// Up and Down walk the lines sent; past the newest the line is empty again.
TEST(TermWindowTest, LineHistory) {
    TermWindow term;
    auto* input = term.Control<QLineEdit>("ed_Input");
    for (const char* line : {"one", "two"}) {
        input->setText(QLatin1String(line));
        QTest::keyClick(input, Qt::Key_Return);
    }
    const std::vector<std::pair<Qt::Key, QString>> steps = {
        {Qt::Key_Up, "two"}, {Qt::Key_Up, "one"}, {Qt::Key_Up, "one"}, {Qt::Key_Down, "two"}, {Qt::Key_Down, ""}};
    for (const auto& [key, shown] : steps) {
        QTest::keyClick(input, key);
        EXPECT_EQ(input->text(), shown);
    }
}

// Without a capture nothing is sent and the window says what to do.
TEST(TermWindowTest, WithoutCaptureNothingIsSent) {
    TermWindow term;
    term.Window().CaptureStateChanged(false);
    auto* input = term.Control<QLineEdit>("ed_Input");
    input->setText(QStringLiteral("AT"));
    QTest::keyClick(input, Qt::Key_Return);
    EXPECT_EQ(term.Sent(), "");
    EXPECT_EQ(term.Control<QLabel>("lbl_Status")->text(), QStringLiteral("Start capture to talk to the device"));
}

// New lines keep the last one in view until the user scrolls back; then the place stays.
TEST(TermWindowTest, FollowsTheEndUnlessScrolledBack) {
    TermWindow term;
    term.Window().resize(400, 200);
    term.Window().show();
    QScrollBar* bar = term.Control<QPlainTextEdit>("txt_Terminal")->verticalScrollBar();
    const auto lines = [&term] {
        for (int i = 0; i < 200; ++i) term.Feed("line\n");
        term.Tick();
    };
    lines();
    EXPECT_TRUE(term.Window().FollowsEnd());
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(10);
    EXPECT_FALSE(term.Window().FollowsEnd());
    lines();
    EXPECT_EQ(bar->value(), 10);
    bar->setValue(bar->maximum());
    lines();
    EXPECT_EQ(bar->value(), bar->maximum());
}

// Ctrl+F opens the find bar; Enter selects the nearest match above, once round, or
// says there is none.
TEST(TermWindowTest, FindsText) {
    TermWindow term;
    term.Window().show();
    term.Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&term.Window()));
    term.Feed("alpha 1\nbeta\nalpha 2\ngamma");
    term.Tick();
    auto* text = term.Control<QPlainTextEdit>("txt_Terminal");
    text->setFocus();
    QTest::keyClick(text, Qt::Key_F, Qt::ControlModifier);
    auto* find = term.Control<QLineEdit>("ed_Find");
    ASSERT_TRUE(find->isVisible());
    const struct {
        const char* Text;
        QString Selected;
        int Block;  // of the selection
        QString Result;
    } rows[] = {
        {"alpha", "alpha", 2, ""},
        {"alpha", "alpha", 0, ""},
        {"alpha", "alpha", 2, ""},  // once round from the end
        {"zeta", "alpha", 2, "Not found"},
    };
    for (const auto& row : rows) {
        find->setText(QLatin1String(row.Text));
        QTest::keyClick(find, Qt::Key_Return);
        EXPECT_EQ(text->textCursor().selectedText(), row.Selected) << row.Text;
        EXPECT_EQ(text->textCursor().blockNumber(), row.Block) << row.Text;
        EXPECT_EQ(term.Control<QLabel>("lbl_FindResult")->text(), row.Result) << row.Text;
    }
    EXPECT_FALSE(term.Window().FollowsEnd());
}

// "Save as text..." writes the text shown; Cancel writes nothing.
TEST(TermWindowTest, SavedAsText) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("term.txt"));
    TermWindow term;
    term.Feed("a\nb");
    term.Tick();
    ZFileDialog::SetNextAnswer(QString());
    QTest::mouseClick(term.Control<QPushButton>("btn_SaveText"), Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(path));
    ZFileDialog::SetNextAnswer(path);
    QTest::mouseClick(term.Control<QPushButton>("btn_SaveText"), Qt::LeftButton);
    ZFileDialog::Reset();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("a\nb\n"));
}

}  // namespace

namespace {

// Every text a control shows or a screen reader reads, by the control's name.
QStringList Captions(const Tfrm_Term& window) {
    QStringList captions;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        const QString name = widget->objectName() + QStringLiteral(": ");
        if (!widget->accessibleName().isEmpty()) captions << name + widget->accessibleName();
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) captions << name + button->text();
        if (const auto* label = qobject_cast<const QLabel*>(widget)) captions << name + label->text();
        if (const auto* box = qobject_cast<const QComboBox*>(widget))
            for (int i = 0; i < box->count(); ++i) captions << name + box->itemText(i);
    }
    return captions;
}

// In German every caption of the window is German: none is left as written in English.
TEST(TermWindowTest, SpeaksGerman) {
    QTranslator german;
    ASSERT_TRUE(german.load(QLocale(QLocale::German), QStringLiteral("kestrun"), QStringLiteral("_"),
                            QStringLiteral(":/i18n")));
    const QStringList english = Captions(Tfrm_Term());
    QApplication::installTranslator(&german);
    const QStringList translated = Captions(Tfrm_Term());
    QApplication::removeTranslator(&german);
    ASSERT_EQ(english.size(), translated.size());
    // Names of codes and formats, and words that are the same in both languages.
    const QStringList same = {"UTF-8", "Latin-1", "HH:MM:SS", "HH:MM:SS.mmm", "HH:MM:SS.uuuuuu", "CR", "LF",
                              "CR LF", "Terminal", "Status"};
    QStringList left;
    for (qsizetype i = 0; i < english.size(); ++i) {
        const QString text = english[i].section(QStringLiteral(": "), 1);
        if (english[i] == translated[i] && !text.isEmpty() && !same.contains(text)) left << english[i];
    }
    EXPECT_TRUE(left.isEmpty()) << left.join(QStringLiteral(", ")).toStdString();
}

}  // namespace
