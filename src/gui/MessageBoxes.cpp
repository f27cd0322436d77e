#include "MessageBoxes.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace {
TMessageBoxes::TRecorder* Recorder = nullptr;
bool Ending = false;

// A box is as wide as its text: a short text would cut its title, the program's name, in the
// middle. Room is made for the title in a bold font, with the title bar's buttons beside it.
void MakeRoomForTheTitle(QMessageBox& ABox) {
    auto* grid = qobject_cast<QGridLayout*>(ABox.layout());
    if (!grid) return;
    QFont bold = ABox.font();
    bold.setBold(true);
    const int width = QFontMetrics(bold).horizontalAdvance(ABox.windowTitle()) + 150;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// Modal to its own window only, so that the tray menu, and its exit item, stay in reach.
int Exec(QMessageBox& ABox) {
    if (Ending) return QMessageBox::No;
    MakeRoomForTheTitle(ABox);
    if (ABox.parentWidget()) ABox.setWindowModality(Qt::WindowModal);
    return ABox.exec();
}
}  // namespace

TMessageBoxes::TRecorder::TRecorder() {
    Recorder = this;
}
TMessageBoxes::TRecorder::~TRecorder() {
    Recorder = nullptr;
}

QString TMessageBoxes::ApplicationTitle() {
    return QStringLiteral("Kestaro - طلبات الشهادات المدرسية");
}

bool TMessageBoxes::Record(TKind AKind, const QString& AText, bool* AAnswer) {
    if (!Recorder) return false;
    Recorder->Shown.push_back({AKind, AText});
    if (Recorder->WhileShown) Recorder->WhileShown();
    if (AAnswer) {
        *AAnswer = !Recorder->Answers.empty() && Recorder->Answers.front();
        if (!Recorder->Answers.empty()) Recorder->Answers.pop_front();
    }
    return true;
}

void TMessageBoxes::ShowMessage(QWidget* AParent, const QString& AText) {
    if (Record(TKind::Message, AText)) return;
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), AText, QMessageBox::Ok, AParent);
    Exec(box);
}

void TMessageBoxes::ShowError(QWidget* AParent, const QString& AText) {
    if (Record(TKind::Error, AText)) return;
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), AText, QMessageBox::Ok, AParent);
    Exec(box);
}

void TMessageBoxes::ShowCloseError(const QString& AText) {
    if (Record(TKind::CloseError, AText)) return;
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), AText, QMessageBox::Close);
    Exec(box);
}

bool TMessageBoxes::Confirm(QWidget* AParent, const QString& AText) {
    bool answer = false;
    if (Record(TKind::Question, AText, &answer)) return answer;
    // The toolkit's own question box, as QMessageBox::question makes it.
    QMessageBox box(QMessageBox::Question, QString(), AText, QMessageBox::Yes | QMessageBox::No,
                    AParent);
    box.setDefaultButton(QMessageBox::Yes);
    return Exec(box) == QMessageBox::Yes;
}

void TMessageBoxes::EndAll() {
    Ending = true;
}
