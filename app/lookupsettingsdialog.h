// The servers a lookup asks, and the contact it sends them.
#ifndef LOOKUPSETTINGSDIALOG_H
#define LOOKUPSETTINGSDIALOG_H

#include "musicbrainzclient.h"

#include <QDialog>

#include <memory>

namespace Ui {
class LookupSettingsDialog;
}

class LookupSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LookupSettingsDialog(const MusicBrainzClient::Settings &settings,
                                  QWidget *parent = nullptr);
    ~LookupSettingsDialog() override;

    // The settings given with the edits made; only valid addresses are taken (OK waits for them).
    MusicBrainzClient::Settings settings() const;

private:
    void fill(const MusicBrainzClient::Settings &settings);
    void checkInput();

    std::unique_ptr<Ui::LookupSettingsDialog> m_ui;
    MusicBrainzClient::Settings m_settings;
};

#endif // LOOKUPSETTINGSDIALOG_H
