#pragma once
// The terminal window: every byte the running capture receives and sends, in the
// order of the line, as a terminal's text (ZTermScreen), and a line to type into, or
// "Type straight to the device", where every key goes out as typed until Escape is
// pressed twice. What is sent goes through the capture (the send function), so the
// frames, logs and recordings hold it as they hold a send of the Send page.
//
// Bytes arrive from the capture's data thread through ByteObserver, a queue of at
// most MaxQueuedBytes that never makes the data thread wait (what does not fit is
// counted and said in the text). The window takes the queue at most every
// RepaintIntervalMs and shows the lines; it follows the end unless the user has
// scrolled back. The text keeps at most the number of lines set (TerminalLines).
// New lines are said to a screen reader politely (ZTermAnnouncer, ZTermLiveText).
//
// Created hidden; closing it only hides it. It takes bytes only while shown (minimised
// included): the text of a fast device's bytes costs the window thread a large share of
// a core, and nobody reads it while the window is closed (the capture keeps every byte).
// Window thread, except ByteObserver's OnBytes.

#include <QTextCharFormat>
#include <QTextCursor>
#include <QWidget>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ZTermByteQueue.h"
#include "ZSerialCapture.h"
#include "ZTermAnnouncer.h"
#include "ZTermScreen.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class ZTermLiveText;


class Tfrm_Term : public QWidget {
    Q_OBJECT

public:
    static constexpr size_t MaxQueuedBytes = 8u << 20;
    static constexpr int RepaintIntervalMs = 50;
    static constexpr int MaxHistoryLines = 100;
    static constexpr int FlashMs = 150;
    // The text keeps at most the lines set; past them it drops the oldest down to all but
    // this share of them (a sixteenth) at once.
    static constexpr int TrimChunkDivisor = 16;

    // Hands bytes to the running capture: Sent, or why not in errorText.
    using SendFunction = std::function<ZSendResult(const std::vector<uint8_t>& bytes, std::string& errorText)>;

    explicit Tfrm_Term(QWidget* parent = nullptr);
    ~Tfrm_Term() override;

    // Add it to the capture's byte observers (any thread may then call it).
    IZByteObserver* ByteObserver() { return &shownBytes_; }
    void SetSendFunction(SendFunction send) { send_ = std::move(send); }
    // The lines the text keeps at most; older ones go.
    void SetMaxLines(int lines);
    // The main window tells when a capture starts and stops: without one the window
    // says "Start capture to talk to the device" and sends nothing.
    Q_INVOKABLE void CaptureStateChanged(bool running);

    // The text shown, lines separated by '\n'.
    QString ShownText() const;
    // Whether the text keeps its last line in view.
    bool FollowsEnd() const { return followEnd_; }

public slots:
    // Takes what the queue holds into the text; public so that a test can tick it.
    void tmr_RepaintTimer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    void Connect();
    void ApplyOptions();
    void ShowUpdate(const ZTermScreen::Update& update);
    void TrimScrollback();
    // Text on its way into the view, gathered into runs of one format.
    class TextRuns {
    public:
        explicit TextRuns(QTextCursor& cursor) : cursor_(cursor) {}
        void Add(const QString& text, const QTextCharFormat& format);
        const QTextCharFormat& Format() const { return format_; }
        void Flush();

    private:
        QTextCursor& cursor_;
        QString text_;
        QTextCharFormat format_;
    };
    void WriteLine(TextRuns& runs, const ZTermLine& line);
    QTextCharFormat Format(const ZTermStyle& style) const;
    void Flash();
    void SendText(const std::string& bytes);
    void SendInputLine();
    void BrowseHistory(int step);
    bool TypeStraight(class QKeyEvent* key);
    void SetTypeStraight(bool on);
    void PasteToDevice();
    void SaveAsText();
    void ShowFindBar();
    void FindNext(bool backwards);
    void ClearText();
    void ShowStatus(const QString& text);
    ZTermLineEnd LineEnd() const;
    ZTermCharset Charset() const;

    ZTermByteQueue queue_{MaxQueuedBytes};
    // Hands the capture's bytes to queue_ while the window is shown, and lets them pass
    // by while it is hidden. Any thread.
    class ShownBytes : public IZByteObserver {
    public:
        explicit ShownBytes(ZTermByteQueue& queue) : queue_(queue) {}
        void SetShown(bool shown) { shown_.store(shown, std::memory_order_relaxed); }
        void OnBytes(const uint8_t* bytes, int count, bool sent, int64_t timeUs) override {
            if (shown_.load(std::memory_order_relaxed)) queue_.Push(bytes, count, sent, timeUs);
        }

    private:
        ZTermByteQueue& queue_;
        std::atomic<bool> shown_{false};
    };
    ShownBytes shownBytes_{queue_};
    ZTermScreen screen_;
    ZTermAnnouncer announcer_;
    SendFunction send_;
    bool capturing_ = false;
    bool followEnd_ = true;
    bool autoScrolling_ = false;
    bool escapePressed_ = false;  // type-straight mode: the last key was Escape
    int openLineBlock_ = -1;      // the block that shows the open line
    int maxLines_ = 0;            // finished lines the text keeps at most
    QStringList inputHistory_;
    int historyIndex_ = 0;

    QPlainTextEdit* txt_Terminal = nullptr;
    ZTermLiveText* lbl_NewLines = nullptr;  // where new lines are said to a screen reader
    QLineEdit* ed_Input = nullptr;
    QComboBox* cb_LineEnd = nullptr;
    QComboBox* cb_NewLine = nullptr;
    QComboBox* cb_Charset = nullptr;
    QComboBox* cb_TimeStamps = nullptr;
    QCheckBox* chk_ShowSent = nullptr;
    QCheckBox* chk_LocalEcho = nullptr;
    QCheckBox* chk_ShowControls = nullptr;
    QCheckBox* chk_TypeStraight = nullptr;
    QPushButton* btn_Paste = nullptr;
    QPushButton* btn_Clear = nullptr;
    QPushButton* btn_SaveText = nullptr;
    QWidget* FindBar = nullptr;
    QLineEdit* ed_Find = nullptr;
    QLabel* lbl_FindResult = nullptr;
    QLabel* lbl_Status = nullptr;
    QTimer* tmr_Repaint = nullptr;
};
