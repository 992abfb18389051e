#pragma once
// The port and rate of one line of a capture as the "General" page shows them: an
// editable port list (the ports present and an item for a network port's address),
// an editable rate list, and the button to the extended port settings of that line.
// A typed port or rate is taken into the engine's line when the user is done typing
// (chosen from the list, Enter, the focus leaving) or by Commit; a refused one is
// said in an error box and the field shows the value in use again.
//
// Window thread only.

#include <QObject>
#include <QString>
#include <functional>

class QComboBox;
class QPushButton;
class QWidget;
class ZListField;
class ZLogger;

class ZLinePortFields {
public:
    // engine gives the engine, or null once it has gone; line is 0 or 1. The controls
    // are made as children of parent, named after the first line's ("cb_COMPorts",
    // "cb_Baudrates", "btn_PortSettings"), with "2" after the name for the second.
    ZLinePortFields(std::function<ZLogger*()> engine, int line, QWidget* parent);

    QComboBox* Ports() const;
    QComboBox* Rates() const;
    QPushButton* SettingsButton() const { return settings_; }

    // The rate list, once.
    void FillRates();
    // The ports present, each with what the user knows it by, and the network item;
    // rescan first looks for devices that came or went. The field keeps its text.
    void FillPorts(bool rescan);
    // Takes a typed port and rate that were never confirmed: false after an error box.
    bool Commit();
    // The engine's port and rate of the line, as a dialog or a settings file left them.
    void ShowState();
    void SetEnabled(bool enabled);
    // Called after the line's port may have changed (the name it goes by with it).
    std::function<void()> PortShown;

private:
    bool CommitPortText();
    bool CommitBaudText();
    bool TakePort(const QString& text);
    bool TakeBaudrate(const QString& text);
    void ShowPortNumber();
    void ShowBaudrate();
    void OpenSettingsDialog();
    QWidget* Owner() const;

    // The connections' context: they end with this object, before the controls (which
    // the page's widget tree owns) go.
    QObject context_;
    std::function<ZLogger*()> engine_;
    int line_ = 0;
    ZListField* ports_ = nullptr;
    ZListField* rates_ = nullptr;
    QPushButton* settings_ = nullptr;
};
