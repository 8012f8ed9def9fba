#include "app/OptionsDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

#include "app/DialogUnits.h"
#include "app/QtText.h"
#include "storage/Records.h"
#include "storage/Tables.h"
#include "text/StringTable.h"

namespace twk::gui {
namespace {

// Each thread is one forum worked on at once; more than this only gets the user's address
// blocked by the forums' flood protection.
constexpr int kMaxThreads = 50;

QLineEdit* AddTextRow(QFormLayout* form, int labelId, const std::wstring& value, const char* name) {
    auto* edit = new QLineEdit(ToQString(value));
    edit->setObjectName(QString::fromLatin1(name));
    form->addRow(Text(labelId), edit);
    return edit;
}

}  // namespace

COptionsDlg::COptionsDlg(int32_t profileId, const std::wstring& profileName, QWidget* parent)
    : QDialog(parent), profile_id_(profileId), profile_name_(profileName) {
    setWindowTitle(QStringLiteral("Options"));
    DialogUnits units(font());
    setFixedSize(units.Size(246, 223));

    auto* group =
        new QGroupBox(ToQString(LoadFormatted(kIdsOptionsForProfile, profile_name_)), this);
    group->setObjectName(QStringLiteral("group"));
    group->setGeometry(units.Rect(7, 7, 232, 187));
    auto* form = new QFormLayout(group);

    threads_ = new QSpinBox;
    threads_->setObjectName(QStringLiteral("threads"));
    threads_->setRange(1, kMaxThreads);
    threads_->setValue(GetOptionInt(OptThreadCount, profile_id_, 10));
    auto* threads_row = new QHBoxLayout;
    threads_row->addWidget(threads_);
    threads_row->addWidget(new QLabel(QStringLiteral("(1 to %1)").arg(kMaxThreads)));
    threads_row->addStretch();
    form->addRow(Text(kIdsThreadCount), threads_row);

    ConnectionOptions connection;
    LoadConnectionOptions(connection, profile_id_);
    connection_ = new QComboBox;
    connection_->setObjectName(QStringLiteral("connection"));
    connection_->addItems(
        {Text(kIdsConnectionAuto), Text(kIdsConnectionDirect), Text(kIdsConnectionProxy)});
    connection_->setCurrentIndex(connection.mode == kConnectionDirect  ? 1
                                 : connection.mode == kConnectionProxy ? 2
                                                                       : 0);
    form->addRow(Text(kIdsConnection), connection_);

    proxy_address_ = AddTextRow(form, kIdsProxyAddress, connection.proxy_address, "proxyAddress");
    proxy_port_ =
        AddTextRow(form, kIdsProxyPort, std::to_wstring(connection.proxy_port), "proxyPort");
    proxy_port_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), proxy_port_));
    proxy_login_ = AddTextRow(form, kIdsProxyLogin, connection.proxy_login, "proxyLogin");
    proxy_password_ =
        AddTextRow(form, kIdsProxyPassword, connection.proxy_password, "proxyPassword");

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(units.Rect(64, 202, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(units.Rect(138, 202, 50, 14));
    connect(ok, &QPushButton::clicked, this, &COptionsDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(connection_, &QComboBox::currentIndexChanged, this, &COptionsDlg::ApplyProxyRule);

    ApplyProxyRule();
}

void COptionsDlg::ApplyProxyRule() {
    const bool proxy = connection_->currentText() == Text(kIdsConnectionProxy);
    for (QLineEdit* edit : {proxy_address_, proxy_port_, proxy_login_, proxy_password_}) {
        edit->setEnabled(proxy);
    }
}

void COptionsDlg::accept() {
    // One write per option, changed or not; a failed write is not reported (the dialog has
    // nothing better to offer than the values the user can see).
    SetOptionText(profile_id_, OptThreadCount, std::to_wstring(threads_->value()));
    const QString mode = connection_->currentText();
    SetOptionInt(OptConnectionMode,
                 mode == Text(kIdsConnectionDirect)  ? kConnectionDirect
                 : mode == Text(kIdsConnectionProxy) ? kConnectionProxy
                                                     : kConnectionAuto,
                 profile_id_);
    SetOptionText(profile_id_, OptProxyAddress, ToWide(proxy_address_->text()));
    SetOptionInt(OptProxyPort, static_cast<int64_t>(proxy_port_->text().toULongLong()),
                 profile_id_);
    SetOptionText(profile_id_, OptProxyLogin, ToWide(proxy_login_->text()));
    SetOptionText(profile_id_, OptProxyPassword, ToWide(proxy_password_->text()));
    QDialog::accept();
}

}  // namespace twk::gui
