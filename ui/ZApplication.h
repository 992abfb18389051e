#pragma once
// The window program: the application object, its title, the main window and the
// hidden capture window, and the event loop.

#include <QApplication>
#include <string>

class QSocketNotifier;

class ZApplication : public QApplication {
    Q_OBJECT

public:
    // The title is "Kestrun". SIGTERM and SIGINT, from here on, close the main window
    // the way its close button does (the capture stops, the settings are saved); one
    // that comes while the program starts (say, under an error box) closes the window
    // as soon as it is made. A program started with the two blocked answers them too.
    ZApplication(int& argc, char** argv);
    ~ZApplication() override;

    // Creates frm_Main and frm_Log, loads the settings file named on the command line
    // (after "_last_used.scs"), shows the main window and runs the event loop until the
    // main window has closed. Returns the exit code.
    int Run();

    // An exception that escapes an event handler is shown in an error box and the
    // event loop goes on.
    bool notify(QObject* receiver, QEvent* event) override;

    // Installs the built-in translation for the language the user prefers (QLocale(),
    // which follows LANGUAGE and LANG), owned by app; false when there is none for it
    // (the program then speaks English). Window thread.
    static bool InstallTranslation(QCoreApplication& app);

private:
    void SignalArrived();
    void CloseMainWindow();

    int signalPipe_[2] = {-1, -1};
    QSocketNotifier* signalNotifier_ = nullptr;
    std::string settingsFile_;  // named on the command line, as the system spells it
    bool running_ = false;      // the event loop runs: start-up is over
    bool closeAsked_ = false;   // a signal came during start-up
    bool showTerminal_ = false;  // --terminal: the terminal window opens with the main window
    bool showPlot_ = false;      // --plot: the plot window, likewise
};
