#include "gui/ecrviews/EcrSettingsUnit.h"

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "core/app/PortDevice.h"
#include "gui/app/Application.h"
#include "gui/app/EcrHelpers.h"
#include "gui/app/GuiText.h"
#include "gui/app/LngTranslate.h"
#include "gui/app/MyMessageUnit.h"
#include "gui/ecrviews/ViewLook.h"
#include "ui_EcrSettingsUnit.h"

#include <QFile>
#include <QPlainTextEdit>

namespace {

QString LabelText(const std::string& crlfText)
{
    QString q = FromCp(crlfText);
    q.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return q;
}

} // namespace

TEcrSettingsFrame::TEcrSettingsFrame(QWidget* parent)
    : QWidget(parent), ui_(new Ui::TEcrSettingsFrame)
{
    ui_->setupUi(this);
    MarkLanguageWindow(this);
    ApplyViewLook(this, ui_->pnlSettings);

    const auto enableSave = [this] { ui_->btnSave->setEnabled(true); };
    connect(ui_->EcrPortSpin, &QSpinBox::valueChanged, this, enableSave);
    connect(ui_->EcrNumbSpin, &QSpinBox::valueChanged, this, enableSave);
    connect(ui_->OneEcrCheckBox, &QCheckBox::clicked, this, enableSave);
    connect(ui_->EcrPortSpin, &QSpinBox::valueChanged, this, [this] { UpdatePortDevice(); });
    connect(ui_->btnTestConnection, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btnTestConnectionClick(); }); });
    connect(ui_->btnSave, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btnSaveClick(); }); });
    // Room for two lines: a long link path wraps instead of hiding the state.
    QPlainTextEdit* device = ui_->PortDeviceEdit;
    device->document()->setDocumentMargin(0);
    device->setFixedHeight(2 * device->fontMetrics().lineSpacing() + 4);
    UpdatePortDevice();
}

TEcrSettingsFrame::~TEcrSettingsFrame()
{
    delete ui_;
}

void TEcrSettingsFrame::LoadSettingsIntoView()
{
    ui_->EcrPortSpin->setValue(Set_ComPort);
    ui_->OneEcrCheckBox->setChecked(Set_OneECR);
    ui_->EcrNumbSpin->setValue(Set_EcrNumb);
    // After the values: their change notifications enable the button.
    ui_->btnSave->setEnabled(false);
    ui_->InfoLabel->clear();
    UpdatePortDevice();
}

void TEcrSettingsFrame::ApplyViewToSettings()
{
    Set_ComPort = ui_->EcrPortSpin->value();
    Set_EcrNumb = ui_->EcrNumbSpin->value();
    Set_OneECR = ui_->OneEcrCheckBox->isChecked();
    Set_EcrSpeed = 115200;
}

void TEcrSettingsFrame::btnTestConnectionClick()
{
    ui_->InfoLabel->clear();
    ApplyViewToSettings();
    // A simulator or adapter may have come or gone since the number was chosen.
    UpdatePortDevice();
    if (!ConnectAndReadEcrInfo())
        return;
    const std::string head = S_SuccessConnection + " " + "\r\n" + S_Model + EcrModel + "\r\n" +
                             S_OTNumb + EcrSerialNumber;
    const std::string fm = S_FMNumb + EcrFiscalMemoryNumber;
    ui_->InfoLabel->setText(LabelText(head + "  " + fm));
    MyMessageDlg(head + "\r\n" + fm, mtInformation, mbOK);
}

void TEcrSettingsFrame::btnSaveClick()
{
    ApplyViewToSettings();
    if (WriteEcrSettings())
        ui_->btnSave->setEnabled(false);
    else
        MyMessageDlg(S_Error_SaveSettings, mtWarning, mbOK);
}

void TEcrSettingsFrame::UpdatePortDevice()
{
    const TPortDevice device = DescribePortDevice(ui_->EcrPortSpin->value());
    const QString arrow = QStringLiteral(" \u2192 ");
    QString line = QStringLiteral("COM%1").arg(device.Port);
    if (!device.Path.empty())
        line += arrow + QFile::decodeName(QByteArray::fromStdString(device.Path));
    // The link's target on a line of its own, so that a long path breaks
    // at the arrow and not inside a name.
    if (!device.LinkTarget.empty())
        line += QLatin1Char('\n') + arrow.trimmed() + QLatin1Char(' ') +
                QFile::decodeName(QByteArray::fromStdString(device.LinkTarget));
    line += QStringLiteral(" (") + FromCp(PortDeviceStateText(device)) + QLatin1Char(')');

    QPlainTextEdit* edit = ui_->PortDeviceEdit;
    edit->setPlainText(line);
    edit->setToolTip(line);
    const bool ready = device.State == TPortDeviceState::Ready;
    edit->setStyleSheet(QStringLiteral("background: transparent; color: %1;")
                            .arg(ready ? QStringLiteral("#1f6f2a") : QStringLiteral("#a12a1f")));
}
