#pragma once
// What the main window's tests share: an application folder of their own per test
// (KESTRUN_HOME), recorded message boxes, preset file dialogs, and the
// pseudo-terminal that the whole test program reaches as COM98.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "Tfrm_Main.h"
#include "ZFileDialog.h"
#include "ZMessageBox.h"
#include "ZPseudoTerminal.h"

namespace maintest {

constexpr int PtyPort = 98;

// The pseudo-terminal behind <application folder>/ports/com98; opened before the
// program's one port scan.
ZPseudoTerminal& TestPty();

struct Box {
    ZMessageBox::Kind Kind;
    QString Text;
    bool operator==(const Box&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Box& box) {
    return out << (box.Kind == ZMessageBox::Kind::Error ? "error: " : "information: ")
               << box.Text.toStdString();
}

inline Box ErrorBox(const char* text) {
    return {ZMessageBox::Kind::Error, QString::fromLatin1(text)};
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = std::make_unique<ScratchDir>();
        setenv("KESTRUN_HOME", home_->Path().c_str(), 1);
        ZMessageBox::SetRecorder([this](ZMessageBox::Kind kind, const QString& text) {
            boxes_.push_back({kind, text});
        });
        ZFileDialog::Reset();
    }

    void TearDown() override {
        window_.reset();
        ZMessageBox::SetRecorder({});
        ZFileDialog::Reset();
        home_.reset();
    }

    const std::string& Home() const { return home_->Path(); }

    Tfrm_Main& Window() {
        if (!window_) window_ = std::make_unique<Tfrm_Main>();
        return *window_;
    }

    template <class T>
    T* Find(const char* name) {
        T* widget = Window().findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void Click(const char* name) { Find<QAbstractButton>(name)->click(); }

    // Links COM98 of this test's application folder to the test pseudo-terminal.
    void LinkPtyPort() {
        std::filesystem::create_directories(Home() + "ports");
        std::filesystem::create_symlink(TestPty().SlavePath(), Home() + "ports/com98");
    }

    std::unique_ptr<ScratchDir> home_;
    std::vector<Box> boxes_;
    std::unique_ptr<Tfrm_Main> window_;  // after the folder: closed before it goes
};

// Runs action on the next modal dialog from inside its own loop, once the dialog is
// up; returns (through the flag) whether one came. A modal dialog that nobody expects
// is rejected so that a failing test cannot hang.
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QDialog&)> action) : action_(std::move(action)) { Arm(); }
    bool Ran() const { return ran_; }

private:
    void Arm() {
        QTimer::singleShot(0, &context_, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                if (++tries_ < 1000) Arm();
                return;
            }
            ran_ = true;
            action_(*dialog);
        });
    }

    QObject context_;  // pending checks end with the driver
    std::function<void(QDialog&)> action_;
    bool ran_ = false;
    int tries_ = 0;
};

}  // namespace maintest
