#include "uSettingsForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "AutoStart.h"
#include "BusyCursor.h"
#include "FileNames.h"
#include "IniFile.h"
#include "MessageBoxes.h"
#include "ServerWorker.h"
#include "StyleSwitch.h"
#include "TextRules.h"
#include "WindowColours.h"
#include "ZelvanConfig.h"
#include "ZelvanError.h"
#include "uZelvanApi.h"

namespace {

// The path as Windows writes it, with backslashes, as GetModuleFileNameW gives it.
std::string ThisExecutable() {
    return QDir::toNativeSeparators(TFrmSettings::ProgramPath()).toStdString();
}

QString IniPathForTesting;

// The style list's items, in order, each with the style it stands for.
const struct {
    const char* Item;
    const char* Style;
} Themes[] = {
    {"Windows10 Blue (أزرق عصري - الافتراضي)", "Windows10 Blue"},
    {"Windows10 Dark (الوضع الليلي)", "Windows10 Dark"},
    {"Windows (الستايل الكلاسيكي)", "Windows"},
};

template <typename T>
T* Place(T* AControl, const QRect& APlace) {
    AControl->setGeometry(APlace);
    return AControl;
}

QLabel* BoldLabel(QWidget* AParent, const QRect& APlace) {
    auto* label = Place(new QLabel(AParent), APlace);
    QFont font = label->font();
    font.setPixelSize(13);
    font.setBold(true);
    label->setFont(font);
    return label;
}

// A box's text as a number by the configuration file's rule, ADefault when it is none.
std::int32_t NumberOf(const QLineEdit* ABox, std::int32_t ADefault) {
    return StrToIntDef(ABox->text(), ADefault);
}

QString TrimmedText(const QLineEdit* ABox) {
    return TrimBlanks(ABox->text());
}

}  // namespace

TFrmSettings::TFrmSettings(QWidget* AParent) : QDialog(AParent) {
    BuildLayout();
    FormCreate();
}

// The worker goes first: a test still waiting is called off before the busy cursor goes.
TFrmSettings::~TFrmSettings() {
    delete FTestWorker;
}

void TFrmSettings::BuildLayout() {
    setObjectName(QStringLiteral("FrmSettings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(440, 415);
    setLayoutDirection(Qt::RightToLeft);
    QFont font = this->font();
    font.setPixelSize(13);
    setFont(font);

    PnlHeader = Place(new QWidget(this), {0, 0, 440, 55});
    PnlContent = Place(new QWidget(this), {0, 55, 440, 300});
    PnlFooter = Place(new QWidget(this), {0, 355, 440, 60});

    LblTitle = Place(new QLabel(PnlHeader), {20, 15, 240, 25});
    QFont title = LblTitle->font();
    title.setPixelSize(18);
    title.setBold(true);
    LblTitle->setFont(title);

    LblHost = BoldLabel(PnlContent, {160, 15, 260, 17});
    LblPort = BoldLabel(PnlContent, {20, 15, 120, 17});
    EdtHost = Place(new QLineEdit(PnlContent), {160, 38, 260, 25});
    EdtPort = Place(new QLineEdit(PnlContent), {20, 38, 120, 25});
    LblPassword = BoldLabel(PnlContent, {160, 75, 260, 17});
    EdtPassword = Place(new QLineEdit(PnlContent), {160, 98, 260, 25});
    EdtPassword->setEchoMode(QLineEdit::Password);
    BtnTest = Place(new QPushButton(PnlContent), {20, 96, 120, 29});
    LblTheme = BoldLabel(PnlContent, {160, 135, 260, 17});
    CmbTheme = Place(new QComboBox(PnlContent), {160, 158, 260, 25});
    CmbTheme->setEditable(false);
    LblInterval = BoldLabel(PnlContent, {20, 135, 120, 17});
    EdtInterval = Place(new QLineEdit(PnlContent), {20, 158, 120, 25});
    ChkSound = Place(new QCheckBox(PnlContent), {20, 205, 400, 22});
    ChkAutoStart = Place(new QCheckBox(PnlContent), {20, 235, 400, 22});
    LblReminder = BoldLabel(PnlContent, {200, 268, 220, 25});
    CmbReminder = Place(new QComboBox(PnlContent), {20, 268, 170, 25});
    BtnSave = Place(new QPushButton(PnlFooter), {220, 15, 100, 32});
    BtnSave->setDefault(true);
    BtnCancel = Place(new QPushButton(PnlFooter), {110, 15, 100, 32});

    // A screen reader names each box by the label above it.
    LblHost->setBuddy(EdtHost);
    LblPort->setBuddy(EdtPort);
    LblPassword->setBuddy(EdtPassword);
    LblTheme->setBuddy(CmbTheme);
    LblInterval->setBuddy(EdtInterval);
    LblReminder->setBuddy(CmbReminder);

    QWidget* const order[] = {EdtHost,  EdtPort,      EdtPassword, BtnTest, CmbTheme, EdtInterval,
                              ChkSound, ChkAutoStart, CmbReminder, BtnSave, BtnCancel};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    ApplyColours();
    connect(&TStyleSwitch::Signals(), &TStyleSignals::Switched, this, &TFrmSettings::ApplyColours);
    connect(BtnTest, &QPushButton::clicked, this, &TFrmSettings::BtnTestClick);
    connect(BtnSave, &QPushButton::clicked, this, &TFrmSettings::BtnSaveClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TFrmSettings::BtnCancelClick);
}

// Run again when Save switches the style while the dialog is still open.
void TFrmSettings::ApplyColours() {
    const TWindowColours& c = TWindowColours::Current();
    PaintBackground(this, c.DialogContent);
    PaintBackground(PnlHeader, c.DialogHeader);
    PaintBackground(PnlContent, c.DialogContent);
    PaintBackground(PnlFooter, c.DialogFooter);
    PaintText(LblTitle, c.Title);
}

void TFrmSettings::FormCreate() {
    setWindowTitle(QStringLiteral("إعدادات الاتصال بالسيرفر"));
    LblTitle->setText(QStringLiteral("إعدادات سيرفر Kestaro"));
    LblHost->setText(QStringLiteral("عنوان IP السيرفر:"));
    LblPort->setText(QStringLiteral("منفذ السيرفر:"));
    BtnTest->setText(QStringLiteral("اختبار الاتصال"));
    LblInterval->setText(QStringLiteral("فترة التحديث (ث):"));
    LblPassword->setText(QStringLiteral("كلمة المرور:"));
    LblTheme->setText(QStringLiteral("مظهر البرنامج (الستايل):"));
    CmbTheme->clear();
    for (const auto& theme : Themes) CmbTheme->addItem(QString::fromUtf8(theme.Item));
    ChkSound->setText(QStringLiteral("تفعيل التنبيه الصوتي عند ورود طلب جديد"));
#ifdef Q_OS_WIN
    ChkAutoStart->setText(QStringLiteral("التشغيل التلقائي مع بدء تشغيل ويندوز"));
#else
    // Elsewhere the program starts with the user's desktop session, not with Windows.
    ChkAutoStart->setText(QStringLiteral("التشغيل التلقائي مع بدء تشغيل الجلسة"));
#endif
    LblReminder->setText(QStringLiteral("التذكير بالطلبات المنتظرة:"));
    BtnSave->setText(QStringLiteral("حفظ"));
    BtnCancel->setText(QStringLiteral("إلغاء"));
    FIniPath = GetIniPath();
    LoadSettingsToControls();
}

// The choices offered, and a value of the file's own beside them, so that a save keeps it.
void TFrmSettings::ShowReminderMinutes(int AMinutes) {
    CmbReminder->clear();
    CmbReminder->addItem(QStringLiteral("بدون تذكير"), 0);
    for (const int minutes : {5, 15, 30, 60}) CmbReminder->addItem(ReminderItem(minutes), minutes);
    int index = CmbReminder->findData(AMinutes);
    if (index < 0) {
        CmbReminder->addItem(ReminderItem(AMinutes), AMinutes);
        index = CmbReminder->count() - 1;
    }
    CmbReminder->setCurrentIndex(index);
}

QString TFrmSettings::ReminderItem(int AMinutes) {
    const int lastTwo = AMinutes % 100;
    const QString unit =
        lastTwo >= 3 && lastTwo <= 10 ? QStringLiteral("دقائق") : QStringLiteral("دقيقة");
    return QStringLiteral("كل %1 %2").arg(AMinutes).arg(unit);
}

void TFrmSettings::LoadSettingsToControls() {
    QString host, style, password;
    std::int32_t port = 0, interval = 0;
    bool sound = false;
    LoadConfig(host, port, interval, sound, style, password);
    EdtHost->setText(host);
    EdtPort->setText(QString::number(port));
    EdtPassword->setText(password);
    EdtInterval->setText(QString::number(interval));
    ChkSound->setChecked(sound);
    ChkAutoStart->setChecked(IsAutoStartEnabled());
    ShowReminderMinutes(LoadZelvanConfig(FIniPath).ReminderMinutes);
    // Only A to Z count without regard to case: the names are compared letter for letter after
    // that, so a blank around a name falls through to the first item.
    const QString name = LowerLatin(style);
    int index = 0;
    if (name == LowerLatin(QString::fromUtf8(Themes[1].Style)))
        index = 1;
    else if (name == LowerLatin(QString::fromUtf8(Themes[2].Style)))
        index = 2;
    CmbTheme->setCurrentIndex(index);
}

// Ticked only when the entry starts this copy: another copy's entry is not this one's to show.
bool TFrmSettings::IsAutoStartEnabled() {
    return TAutoStart::IsEnabled(ThisExecutable());
}

// A place that cannot be opened is passed over in silence; a value that cannot be written is an
// error, which ends Save before the file is touched. Unticked, another copy's entry is kept.
void TFrmSettings::SetAutoStart(bool AEnable) {
    if (TAutoStart::Set(AEnable, ThisExecutable()) == TAutoStart::TResult::WriteFailed)
        throw EZelvanError(std::string("Failed to set data for '") + TAutoStart::EntryName + "'");
}

// The test runs on a worker while the dialog answers: Cancel or the close box give up on it.
void TFrmSettings::BtnTestClick() {
    if (IsTesting()) return;
    using TResult = std::pair<bool, QString>;
    if (!FTestWorker) FTestWorker = new TServerWorker(this);
    FTestCursor = std::make_unique<TBusyCursor>();
    FTestWorker->Run<TResult>(
        [host = TrimmedText(EdtHost), port = NumberOf(EdtPort, 80),
         password = TrimmedText(EdtPassword)] {
            QString error;
            const bool done = TZelvanApi::TestConnection(host, port, password, error);
            return TResult(done, error);
        },
        [this](TOutcome<TResult> AOutcome) {
            if (!IsTesting()) return;  // given up when the dialog closed
            FTestCursor.reset();
            if (!AOutcome.Value)
                TMessageBoxes::ShowError(this, AOutcome.Raised);
            else if (AOutcome.Value->first)
                TMessageBoxes::ShowMessage(
                    this, QStringLiteral("تم الاتصال بسيرفر Kestaro وتأكيد كلمة المرور بنجاح!"));
            else
                TMessageBoxes::ShowMessage(
                    this, QStringLiteral("فشل الاتصال بالسيرفر:\r\n") + AOutcome.Value->second);
        });
}

void TFrmSettings::SaveSettings() {
    const int index = CmbTheme->currentIndex();
    const QString style = QString::fromUtf8(Themes[index == 1 || index == 2 ? index : 0].Style);
    SetAutoStart(ChkAutoStart->isChecked());
    FIniPath = GetIniSavePath();
    TIniFile ini(FIniPath);
    ini.WriteString(ConfigKeys::Connection, ConfigKeys::ServerHost, TrimmedText(EdtHost));
    ini.WriteInteger(ConfigKeys::Connection, ConfigKeys::ServerPort, NumberOf(EdtPort, 80));
    ini.WriteString(ConfigKeys::Connection, ConfigKeys::Password, TrimmedText(EdtPassword));
    ini.WriteInteger(ConfigKeys::Options, ConfigKeys::PollInterval, NumberOf(EdtInterval, 10));
    ini.WriteBool(ConfigKeys::Options, ConfigKeys::SoundEnabled, ChkSound->isChecked());
    ini.WriteInteger(ConfigKeys::Options, ConfigKeys::ReminderMinutes,
                     CmbReminder->currentData().toInt());
    ini.WriteBool(ConfigKeys::Options, ConfigKeys::AutoStartWithWindows, ChkAutoStart->isChecked());
    ini.WriteString(ConfigKeys::Display, ConfigKeys::StyleName, style);
    TStyleSwitch::SetStyle(style);
}

// An error on the way is shown and the dialog stays open, with what was written so far.
void TFrmSettings::BtnSaveClick() {
    if (RunGuarded(this, [this] { SaveSettings(); })) accept();
}

void TFrmSettings::BtnCancelClick() {
    reject();
}

// However the dialog closes (Save, Cancel, Esc, the close box), a test still waiting is given up:
// its answer is no longer wanted, and the cursor is the default again.
void TFrmSettings::done(int AResult) {
    FTestCursor.reset();
    QDialog::done(AResult);
}

void TFrmSettings::SetIniPathForTesting(const QString& APath) {
    IniPathForTesting = APath;
}

// Asked by every reader of the settings, and the same for the program's whole run.
QString TFrmSettings::ProgramPath() {
    static const QString path =
        QDir::fromNativeSeparators(QString::fromStdString(TFileNames::LongForm(
            QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdString())));
    return path;
}

QString TFrmSettings::GetIniPath() {
    if (!IniPathForTesting.isEmpty()) return IniPathForTesting;
    return ConfigFilePath(ProgramPath());
}

QString TFrmSettings::GetIniSavePath() {
    if (!IniPathForTesting.isEmpty()) return IniPathForTesting;
    return ConfigSavePath(ProgramPath());
}

namespace {
QString ChangesLeftNotePath() {
    const QString ini = IniPathForTesting.isEmpty()
                            ? UserConfigFilePath(TFrmSettings::ProgramPath())
                            : IniPathForTesting;
    const QFileInfo info(ini);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".unsent.txt"));
}
}  // namespace

void TFrmSettings::WriteChangesLeftNote(const QString& AText) {
    const QString path = ChangesLeftNotePath();
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::Append | QIODevice::Text)) file.write(AText.toUtf8() + '\n');
}

QString TFrmSettings::TakeChangesLeftNote() {
    QFile file(ChangesLeftNotePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    const QString text = QString::fromUtf8(file.read(64 * 1024)).trimmed();
    file.close();
    file.remove();
    return text;
}

QString TFrmSettings::ConfigFileProblem() {
    const QString path = GetIniPath();
    if (QFileInfo(path).size() <= TIniFile::MaxFileSize) return {};
    return QStringLiteral(
               "ملف الإعدادات أكبر من أن يكون ملف إعدادات (أكثر من 1 ميغابايت)، "
               "فاستُعملت الإعدادات الافتراضية ولن يُكتب فوقه:\n") +
           Isolated(QDir::toNativeSeparators(path));
}

void TFrmSettings::LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                              bool& ASound, QString& AStyle, QString& APassword) {
    const TZelvanConfig config = LoadZelvanConfig(GetIniPath());
    AHost = config.Host;
    APort = config.Port;
    AInterval = config.PollInterval;
    ASound = config.SoundEnabled;
    AStyle = config.StyleName;
    APassword = config.Password;
}

void TFrmSettings::LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                              bool& ASound, QString& AStyle) {
    QString password;
    LoadConfig(AHost, APort, AInterval, ASound, AStyle, password);
}

void TFrmSettings::LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                              bool& ASound) {
    QString style;
    LoadConfig(AHost, APort, AInterval, ASound, style);
}
