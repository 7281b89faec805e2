#include "lookupsettingsdialog.h"
#include "ui_lookupsettingsdialog.h"

#include <QPushButton>

namespace {

// A server is an address of the web: a scheme of its own and a host.
QUrl serverUrl(const QString &text)
{
    const QUrl url = QUrl::fromUserInput(text.trimmed());
    const bool web
            = url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http");
    return url.isValid() && web && !url.host().isEmpty() ? url : QUrl();
}

} // namespace

LookupSettingsDialog::LookupSettingsDialog(const MusicBrainzClient::Settings &settings,
                                           QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::LookupSettingsDialog>())
    , m_settings(settings)
{
    m_ui->setupUi(this);
    fill(settings);
    connect(m_ui->lineEdit_server, &QLineEdit::textChanged, this,
            &LookupSettingsDialog::checkInput);
    connect(m_ui->lineEdit_coverServer, &QLineEdit::textChanged, this,
            &LookupSettingsDialog::checkInput);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_ui->buttonBox->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] { fill(MusicBrainzClient::Settings()); });
}

LookupSettingsDialog::~LookupSettingsDialog() = default;

void LookupSettingsDialog::fill(const MusicBrainzClient::Settings &settings)
{
    m_ui->lineEdit_server->setText(settings.server.toString());
    m_ui->lineEdit_coverServer->setText(settings.coverServer.toString());
    m_ui->lineEdit_email->setText(settings.email);
}

void LookupSettingsDialog::checkInput()
{
    const bool valid = !serverUrl(m_ui->lineEdit_server->text()).isEmpty()
            && !serverUrl(m_ui->lineEdit_coverServer->text()).isEmpty();
    m_ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(valid);
}

MusicBrainzClient::Settings LookupSettingsDialog::settings() const
{
    MusicBrainzClient::Settings settings = m_settings;
    const QUrl server = serverUrl(m_ui->lineEdit_server->text());
    if (!server.isEmpty())
        settings.server = server;
    const QUrl coverServer = serverUrl(m_ui->lineEdit_coverServer->text());
    if (!coverServer.isEmpty())
        settings.coverServer = coverServer;
    settings.email = m_ui->lineEdit_email->text().trimmed();
    return settings;
}
