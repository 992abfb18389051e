// The window program in German, as a German user (LANGUAGE=de) sees it: every page
// of the main window, the capture window, the plot window, the error history and the trigger editors,
// each text compared with the same window in English. A text that reads the same in
// both is English left over, unless it is a name (the product's, a device's, a
// format's) or holds no words at all.

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
#include <QTranslator>
#include <utility>

#include "MainWindowTestSupport.h"
#include "TriggerSequence.h"
#include "Tfrm_BufEditor.h"
#include "Tfrm_Debug.h"
#include "Tfrm_Log.h"
#include "Tfrm_Plot.h"
#include "Tfrm_StringEditor.h"
#include "ZApplication.h"
#include "ZChecksum.h"

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
        R"(^(COM\d+.*|\d+ Baud|[-\d.,:;()\[\]/@ ?#~|]*|v [\d.]+|.*\.(scs|pcapng)|/.*|(rfc2217|tcp)://.*)$)"
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

class GermanWindowTest : public MainWindowTest {};

TEST_F(GermanWindowTest, EveryPageSpeaksGermanButForNames) {
    const Texts english = WindowTexts();
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(ZApplication::InstallTranslation(*QCoreApplication::instance()));
    const Texts german = WindowTexts();
    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>())
        QCoreApplication::removeTranslator(translator);
    QLocale::setDefault(before);

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

}  // namespace
