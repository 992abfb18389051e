// The window program in German, as a German user (LANGUAGE=de) sees it: every page
// of the main window, the capture window, the plot window, the error history and the trigger editors,
// and what the engine has to say (a lost port, a port that cannot be opened, a
// settings file, a field's cell or a recording refused, the system's error texts), each text compared with
// the same window in English. A text that reads the same in both is English left over, unless it is a name
// (the product's, a device's, a format's) or holds no words at all.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTranslator>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <utility>

#include "Funset_strings.h"
#include "MainWindowTestSupport.h"
#include "Tfrm_BufEditor.h"
#include "Tfrm_Debug.h"
#include "Tfrm_Log.h"
#include "Tfrm_Plot.h"
#include "Tfrm_StringEditor.h"
#include "TriggerSequence.h"
#include "ZApplication.h"
#include "ZChecksum.h"
#include "ZEngineText.h"
#include "ZLogger.h"
#include "ZPseudoTerminal.h"
#include "ZULLossCounter.h"
#include "ZULText.h"

using namespace maintest;

namespace {

// What reads the same in every language.
bool IsName(const QString& text) {
    static const QStringList names = {
        "Kestrun",  "HEX",        "ASCII",        "HEX:",        "&HEX",     "&Text", "Format",
        " Format ", "&Format:",   "Handshake",    " Handshake ", "OK",       "&OK",   ".ms",
        "MSB",      "DTR",        "RTS",          "Break",       "XOn/XOff", "CR",    "LF",
        "CR LF",    "Hex-Format", "ASCII-Format", "Information", "data",     "Name",  "&Name:"};
    if (names.contains(text)) return true;
    for (int32_t algorithm = 1; algorithm < ChecksumAlgorithmCount; ++algorithm)
        if (text == QString::fromLatin1(ZChecksum::Name(algorithm))) return true;
    // Ports, rates, counts, times, file names and folders.
    static const QRegularExpression technical(QStringLiteral(
        R"(^(COM\d+.*|tty\w+|\d+ Baud|[-\d.,:;()\[\]/@ ?#~|]*|v [\d.]+|.*\.(scs|pcapng)|/.*|(rfc2217|tcp)://.*)$)"
        "|"
        R"(^([A-Z]{2,}\d*(/[A-Z]+)?|([0-9A-F]{2} ?)+|[A-Z]{2,3}: -)$)"));
    return technical.match(text).hasMatch();
}

// Every text a user or a screen reader meets in a window, each keyed by where it is.
using Texts = std::vector<std::pair<QString, QString>>;

void Collect(QWidget& window, Texts& texts) {
    const auto add = [&texts](const QObject* where, const char* what, const QString& text) {
        if (!text.isEmpty()) texts.emplace_back(where->objectName() + u'.' + QLatin1String(what), text);
    };
    add(&window, "windowTitle", window.windowTitle());
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        add(widget, "toolTip", widget->toolTip());
        add(widget, "accessibleName", widget->accessibleName());
        if (auto* label = qobject_cast<QLabel*>(widget)) add(label, "text", label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) add(button, "text", button->text());
        if (auto* group = qobject_cast<QGroupBox*>(widget)) add(group, "title", group->title());
        if (auto* field = qobject_cast<QLineEdit*>(widget))
            add(field, "placeholder", field->placeholderText());
        if (auto* memo = qobject_cast<QPlainTextEdit*>(widget)) {
            add(memo, "placeholder", memo->placeholderText());
            add(memo, "text", memo->toPlainText());
        }
        if (auto* pages = qobject_cast<QTabWidget*>(widget))
            for (int i = 0; i < pages->count(); ++i) add(pages, "tab", pages->tabText(i));
        if (auto* list = qobject_cast<QComboBox*>(widget))
            for (int i = 0; i < list->count(); ++i) add(list, "item", list->itemText(i));
        if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model())
            for (int c = 0; c < view->model()->columnCount(); ++c)
                add(view, "header", view->model()->headerData(c, Qt::Horizontal).toString());
    }
}

// The main window after a capture with a wrong checksum and an error, the capture
// window with a row of every kind, the empty error history.
Texts WindowTexts() {
    Texts texts;
    Tfrm_Main main;
    Tfrm_Log log;
    main.SetCaptureWindow(&log, &log);
    main.SetCaptureState(true);
    auto checksums = std::make_unique<sStatusMsg>();
    *checksums = {6, "", 3, 1};
    main.StatusArrived(std::move(checksums));
    main.SetCaptureState(false);
    const uint8_t bytes[] = {0x41, 0x42};
    const TDateTime stamp = ZULEncodeDateTime({2026, 12, 9, 14, 3, 27, 0});
    for (const uint8_t kind : {bkStartTrigger, bkData, bkStopTrigger, bkTrash, bkFlush, bkSent})
        log.AddBlock(sBlock{stamp, bytes, 2, kind, kind == bkData ? fvBad : fvNone});
    while (log.ShownRows() < 4) {
        QCoreApplication::processEvents();
        log.tmr_RepaintTimer();
    }
    log.CaptureStateChanged(false);
    // The Fields page's answer to a try without bytes.
    main.findChild<QAbstractButton*>(QStringLiteral("btn_TryBytes"))->click();
    Tfrm_Debug errors(&main);
    // The trigger editors, under a caption their caller translates.
    const int32_t elements[] = {0x41, AnyByte};
    Tfrm_BufEditor bytesEditor(&main, QStringLiteral("Kestrun"), 2, elements);
    Tfrm_StringEditor textEditor(&main, QStringLiteral("Kestrun"), "A.");
    Collect(main, texts);
    Collect(log, texts);
    Collect(errors, texts);
    Collect(bytesEditor, texts);
    Collect(textEditor, texts);
    Collect(*main.GetPlotWindow(), texts);
    // The rows' descriptions.
    auto* grid = log.findChild<QAbstractItemView*>(QStringLiteral("Grid"));
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        texts.emplace_back(QStringLiteral("Grid.row"), grid->model()->index(row, 3).data().toString());
    main.close();
    return texts;
}

class GermanWindowTest : public MainWindowTest {
protected:
    // Runs collect once in English and once in German; the texts of the two runs.
    std::pair<Texts, Texts> InBothLanguages(const std::function<Texts()>& collect) {
        const Texts english = collect();
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_TRUE(ZApplication::InstallTranslation(*QCoreApplication::instance()));
        const Texts german = collect();
        for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>())
            QCoreApplication::removeTranslator(translator);
        QLocale::setDefault(before);
        return {english, german};
    }
};

TEST_F(GermanWindowTest, EveryPageSpeaksGermanButForNames) {
    const auto [english, german] = InBothLanguages(WindowTexts);
    ASSERT_EQ(german.size(), english.size());
    ASSERT_GT(english.size(), 250u);  // every window was walked
    QStringList left;
    for (size_t i = 0; i < english.size(); ++i) {
        ASSERT_EQ(german[i].first, english[i].first);
        const QString text = german[i].second;
        if (text == english[i].second && !IsName(text)) left << english[i].first + u'=' + text;
    }
    EXPECT_TRUE(left.isEmpty()) << left.join(u'\n').toStdString();
    // As the issue names them.
    const auto shown = [&german](const QString& key) {
        for (const auto& [where, text] : german)
            if (where == key) return text;
        return QString();
    };
    EXPECT_EQ(shown("lbl_Checksums.text"), QString::fromUtf8("Prüfsummen: 3 gut, 1 falsch"));
}

// What the engine says reaches the window in German: in a message box, in the newest
// error under the counters and in the error history. Each row provokes one such text
// in a fresh window; the English run shows that it came.
class GermanEngineTextTest : public GermanWindowTest {
public:
    constexpr static int WaitMs = 20000;

    void SetUp() override {
        GermanWindowTest::SetUp();
        LinkPtyPort();
    }

    // COM98 of this test's application folder, led to target.
    void LinkPort(const std::string& target) {
        std::filesystem::remove(Home() + "ports/com98");
        std::filesystem::create_symlink(target, Home() + "ports/com98");
    }

    void ChoosePort() {
        auto* ports = Find<QComboBox>("cb_COMPorts");
        ports->lineEdit()->clear();
        QTest::keyClicks(ports->lineEdit(), "COM98");
        QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
    }

    // The boxes, the newest error and the history of the window, which then goes.
    Texts Shown() {
        Texts texts;
        for (const Box& box : boxes_) texts.emplace_back(QStringLiteral("box"), box.Text);
        texts.emplace_back(QStringLiteral("lbl_LastError.toolTip"), Find<QLabel>("lbl_LastError")->toolTip());
        {
            Tfrm_Debug history(&Window());  // goes before the window
            history.ShowHistory(&Window().GetLogger()->GetErrorHistory());
            // Only the texts: the time of each entry differs between the runs.
            const QString log = history.findChild<QPlainTextEdit*>(QStringLiteral("Log"))->toPlainText();
            for (QString line : log.split(u'\n'))
                texts.emplace_back(QStringLiteral("history"),
                                   line.remove(QRegularExpression(QStringLiteral("^[-\\d :.]+"))));
            history.ForgetHistory();
        }
        boxes_.clear();
        window_.reset();
        return texts;
    }

    Texts PortLost() {
        ZPseudoTerminal device;
        EXPECT_TRUE(device.Open());
        LinkPort(device.SlavePath());
        ChoosePort();
        Click("btn_StartCapture");
        EXPECT_TRUE(Window().GetLogger()->IsCapturing());
        device.Close();
        auto* newest = Find<QLabel>("lbl_LastError");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !newest->toolTip().isEmpty(); }, WaitMs));
        Click("btn_StopCapture");
        return Shown();
    }

    Texts PortNotOpened() {
        // A regular file is no serial port: the start fails with its reason.
        WriteBytes(Home() + "not-a-port", "");
        LinkPort(Home() + "not-a-port");
        ChoosePort();
        Click("btn_StartCapture");
        EXPECT_FALSE(Window().GetLogger()->IsCapturing());
        return Shown();
    }

    Texts SettingsRefused() {
        const std::string file = Home() + "bad.scs";
        std::string error;
        EXPECT_TRUE(Window().GetLogger()->SaveSettings(file, true, error)) << error;
        WriteBytes(file, ReadBytes(file) + "[_fields]\nCount=1\nName_0=\nType_0=u8\nOffset_0=0\n");
        EXPECT_FALSE(Window().LoadSettingsFile(file));
        return Shown();
    }

    Texts FieldCellRefused() {
        ZLoggerSettings settings;
        settings.Fields.Items.resize(1);
        settings.Fields.Items[0].Name = "t";
        settings.Fields.Items[0].HasOffset = true;
        Window().ShowSettings(settings);
        Find<QTableWidget>("grd_Fields")->item(0, 2)->setText(QStringLiteral("x"));
        QCoreApplication::sendPostedEvents();
        return Shown();
    }

    // A recording the window refuses to open: path is in this test's application folder.
    Texts RecordingRefused(const std::string& path) {
        EXPECT_FALSE(Window().OpenRecording(QString::fromStdString(Home() + path)));
        return Shown();
    }
    Texts RecordingMissing() { return RecordingRefused("missing.bin"); }
    Texts RecordingIsAFolder() { return RecordingRefused("ports"); }
    Texts TimedRecordingMissing() { return RecordingRefused("missing.pcapng"); }
};

TEST_F(GermanEngineTextTest, WhatTheEngineSaysIsShownInGerman) {
    struct Row {
        const char* Name;
        Texts (GermanEngineTextTest::*Provoke)();
        const char* English;  // a text the English run shows
    };
    const Row rows[] = {
        {"lost port", &GermanEngineTextTest::PortLost, "hung up or was removed"},
        {"port not opened", &GermanEngineTextTest::PortNotOpened, "is not a serial port."},
        {"settings refused", &GermanEngineTextTest::SettingsRefused, "every field needs a name"},
        {"field cell refused", &GermanEngineTextTest::FieldCellRefused, "is no offset"},
        {"recording not found", &GermanEngineTextTest::RecordingMissing, "File not found"},
        {"recording a folder", &GermanEngineTextTest::RecordingIsAFolder, "a folder, and a recording"},
        {"system error", &GermanEngineTextTest::TimedRecordingMissing, "No such file or directory"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        const auto [english, german] = InBothLanguages([&] { return (this->*row.Provoke)(); });
        const auto said = [&row](const auto& entry) {
            return entry.second.contains(QLatin1String(row.English));
        };
        EXPECT_TRUE(std::any_of(english.begin(), english.end(), said));
        // The device's name may differ between the runs: its text must still be German.
        EXPECT_TRUE(std::none_of(german.begin(), german.end(), said));
        ASSERT_EQ(german.size(), english.size());
        QStringList left;
        for (size_t i = 0; i < english.size(); ++i)
            if (german[i].second == english[i].second && !IsName(german[i].second))
                left << english[i].first + u'=' + german[i].second;
        EXPECT_TRUE(left.isEmpty()) << left.join(u'\n').toStdString();
    }
}

// An engine text is found again by its template, its arguments taken from where the
// template has none; an argument that is an engine text itself is translated too.
TEST_F(GermanWindowTest, AnEngineTextIsShownThroughItsTemplate) {
    const std::string lost = ZULFormat(
        ZUL_TEXT("SerialCapture", "The COM port was lost (device %1 hung up or was removed)"), {"/dev/x"});
    const std::string noName =
        ZULFormat(ZUL_TEXT("Fields", "Name%1 is empty: every field needs a name"), {"_0"});
    const ZULTextTemplate refused = ZUL_TEXT("Settings", "The settings in file \"%1\" cannot be used: %2");
    const ZULTextTemplate untranslated = ZUL_TEXT("Test", "Only in English: %1");
    TZULErrorHistory history;
    ZULLossCounter loss("Test", "Lost", ZULFormat(ZUL_TEXT("LossCounter", "log lines")));
    loss.SetErrorHistory(&history);
    loss.Lost(3);
    loss.Close();
    struct Row {
        std::string English;
        const char* German;
    };
    const Row rows[] = {
        {lost, "Der COM-Anschluss ging verloren (das Ger\u00e4t /dev/x hat aufgelegt oder wurde entfernt)"},
        {ZULFormat(refused, {"a.scs", noName}),
         "Die Einstellungen in der Datei \u201ea.scs\u201c k\u00f6nnen nicht verwendet werden: Name_0 ist "
         "leer: "
         "Jedes Feld braucht einen Namen"},
        // A placeholder within an argument is text, in the engine and in the window.
        {ZULFormat(refused, {"%2", "%1"}),
         "Die Einstellungen in der Datei \u201e%2\u201c k\u00f6nnen nicht verwendet werden: %1"},
        {ZULFormat(untranslated, {"x"}), "Only in English: x"},
        {GetErrorText(EACCES), "Keine Berechtigung"},
        {history.GetLatestError().Error, "3 Protokollzeilen verloren (Warteschlange voll)"},
        {"Made from no template", "Made from no template"},
        {"", ""},
    };
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(ZApplication::InstallTranslation(*QCoreApplication::instance()));
    for (const Row& row : rows)
        EXPECT_EQ(ZEngineText(row.English), QString::fromUtf8(row.German)) << row.English;
    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>())
        QCoreApplication::removeTranslator(translator);
    QLocale::setDefault(before);
    EXPECT_EQ(ZEngineText(lost), QString::fromStdString(lost));
}

}  // namespace
