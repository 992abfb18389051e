#include "ZFileDialog.h"

#include <QFileDialog>

namespace {

// Window thread only.
struct Seam {
    bool Active = false;
    std::deque<QString> Answers;
    ZFileDialog::Request Last;
    int Requests = 0;
};

Seam& TheSeam() {
    static Seam seam;
    return seam;
}

QString RunFileDialog(QWidget* parent, const ZFileDialog::Request& request) {
    QFileDialog dialog(parent, request.Title, request.Directory, request.Filter);
    const bool save = request.DialogKind == ZFileDialog::Kind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.DefaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.DefaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

}  // namespace

bool ZFileDialog::Answer(const Request& request, QString& answer) {
    Seam& seam = TheSeam();
    seam.Last = request;
    ++seam.Requests;
    if (!seam.Active) return false;
    answer.clear();
    if (!seam.Answers.empty()) {
        answer = seam.Answers.front();
        seam.Answers.pop_front();
    }
    return true;
}

QString ZFileDialog::GetOpenFileName(QWidget* parent, const QString& title, const QString& directory,
                                     const QString& filter, const QString& defaultSuffix) {
    const Request request{Kind::Open, title, directory, filter, defaultSuffix};
    QString answer;
    if (Answer(request, answer)) return answer;
    return RunFileDialog(parent, request);
}

QString ZFileDialog::GetSaveFileName(QWidget* parent, const QString& title, const QString& directory,
                                     const QString& filter, const QString& defaultSuffix) {
    const Request request{Kind::Save, title, directory, filter, defaultSuffix};
    QString answer;
    if (Answer(request, answer)) return answer;
    return RunFileDialog(parent, request);
}

QString ZFileDialog::GetExistingDirectory(QWidget* parent, const QString& title, const QString& directory) {
    const Request request{Kind::Directory, title, directory, QString(), QString()};
    QString answer;
    if (Answer(request, answer)) return answer;
    return QFileDialog::getExistingDirectory(parent, title, directory);
}

void ZFileDialog::SetNextAnswer(const QString& answer) {
    TheSeam().Active = true;
    TheSeam().Answers.push_back(answer);
}

void ZFileDialog::Reset() {
    TheSeam() = Seam();
}

ZFileDialog::Request ZFileDialog::LastRequest() {
    return TheSeam().Last;
}

int ZFileDialog::RequestCount() {
    return TheSeam().Requests;
}
