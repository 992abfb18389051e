#include "ZApplication.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <QDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTimer>
#include <QTranslator>
#include <exception>
#include <memory>
#include <string_view>

#include "Tfrm_Log.h"
#include "Tfrm_Main.h"
#include "ZComboBoxAccessible.h"
#include "ZFocusWhileShown.h"
#include "ZMessageBox.h"

Tfrm_Main* frm_Main = nullptr;
Tfrm_Log* frm_Log = nullptr;

namespace {

// Written by the signal handler, read by the window thread: a signal handler may do
// nothing but write to a pipe.
int signalWriteEnd = -1;

extern "C" void OnTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (signalWriteEnd >= 0) {
        [[maybe_unused]] const ssize_t ignored = write(signalWriteEnd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

ZApplication::ZApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Kestrun"));
    setApplicationDisplayName(QStringLiteral("Kestrun"));
    // The main window's close sequence ends the program, whatever other windows are open.
    setQuitOnLastWindowClosed(false);
    ZComboBoxAccessible::Install();
    ZFocusWhileShown::Install();
    // The program speaks English; another language the user prefers (LANGUAGE, LANG)
    // comes from its built-in translation where there is one.
    InstallTranslation(*this);

    if (pipe2(signalPipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
        signalWriteEnd = signalPipe_[1];
        signalNotifier_ = new QSocketNotifier(signalPipe_[0], QSocketNotifier::Read, this);
        connect(signalNotifier_, &QSocketNotifier::activated, this, [this] { SignalArrived(); });
        struct sigaction action {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
        sigset_t both;
        sigemptyset(&both);
        sigaddset(&both, SIGTERM);
        sigaddset(&both, SIGINT);
        pthread_sigmask(SIG_UNBLOCK, &both, nullptr);
    }
    // Qt has taken its own options out of argv by now.
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--terminal")
            showTerminal_ = true;
        else if (std::string_view(argv[i]) == "--plot")
            showPlot_ = true;
        else if (settingsFile_.empty())
            settingsFile_ = argv[i];
    }
}

ZApplication::~ZApplication() {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    signalWriteEnd = -1;
    delete signalNotifier_;
    for (int& end : signalPipe_) {
        if (end >= 0) close(end);
        end = -1;
    }
}

int ZApplication::Run() {
    auto mainWindow = std::make_unique<Tfrm_Main>();
    frm_Main = mainWindow.get();
    auto captureWindow = std::make_unique<Tfrm_Log>();
    frm_Log = captureWindow.get();
    mainWindow->SetCaptureWindow(captureWindow.get(), captureWindow.get());
    connect(mainWindow.get(), &Tfrm_Main::FormClosed, this, &QApplication::quit, Qt::QueuedConnection);

    if (!settingsFile_.empty() && !closeAsked_) mainWindow->LoadSettingsFile(settingsFile_);

    int code = 0;
    if (closeAsked_) {
        mainWindow->close();
    } else {
        mainWindow->show();
        if (showTerminal_) mainWindow->ShowTerminalWindow();
        if (showPlot_) mainWindow->ShowPlotWindow();
        running_ = true;
        code = exec();
        running_ = false;
    }
    // Closing ended the engine, so nothing feeds the capture window any more.
    mainWindow->close();
    mainWindow.reset();
    frm_Main = nullptr;
    captureWindow.reset();
    frm_Log = nullptr;
    return code;
}

bool ZApplication::notify(QObject* receiver, QEvent* event) {
    // Once asked to close during start-up, no further box of the start-up waits for a user.
    if (closeAsked_ && !running_ && event->type() == QEvent::Show) {
        if (auto* dialog = qobject_cast<QDialog*>(receiver))
            QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
    }
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ZMessageBox::Error(activeWindow(), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ZMessageBox::Error(activeWindow(), tr("Unknown error."));
    }
    return false;
}

bool ZApplication::InstallTranslation(QCoreApplication& app) {
    auto* own = new QTranslator(&app);
    if (!own->load(QLocale(), QStringLiteral("kestrun"), QStringLiteral("_"), QStringLiteral(":/i18n"))) {
        delete own;
        return false;
    }
    // Qt's own texts (standard buttons, file dialogs, tab scrolling) come from Qt's
    // translations where they are installed.
    auto* qt = new QTranslator(&app);
    if (qt->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return QCoreApplication::installTranslator(own);
}

void ZApplication::SignalArrived() {
    char bytes[16];
    while (read(signalPipe_[0], bytes, sizeof bytes) > 0) {
    }
    if (!running_) {
        // Quitting a loop that has not started does nothing; a modal box of the start-up
        // runs a loop of its own. The request waits for the window, and the box goes.
        closeAsked_ = true;
        if (QWidget* modal = activeModalWidget()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        }
        return;
    }
    CloseMainWindow();
}

void ZApplication::CloseMainWindow() {
    // A modal dialog runs its own loop inside a handler of the main window, which may
    // still use the engine after the dialog; the dialog is cancelled and the window
    // closed only once the handler has returned to the event loop.
    if (QWidget* modal = activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        QTimer::singleShot(20, this, [this] { CloseMainWindow(); });
        return;
    }
    if (frm_Main) frm_Main->close();
}
