#include "patterndialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

PatternDialog::PatternDialog(const QList<FileFields> &files, const QString &settingsKey,
                             const QString &defaultPattern, const QString &column, QWidget *parent)
    : QDialog(parent)
    , m_files(files)
    , m_settingsKey(settingsKey)
    , m_pattern(new QLineEdit(this))
    , m_status(new QLabel(this))
    , m_table(new QTableWidget(static_cast<int>(files.size()), 2, this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    m_pattern->setObjectName(QStringLiteral("pattern"));
    m_table->setObjectName(QStringLiteral("preview"));
    m_pattern->setText(QSettings().value(m_settingsKey, defaultPattern).toString());
    m_pattern->setToolTip(
            QStringLiteral("%title% %artist% %album% %year% %track% %genre% %comment%, "
                           "%track:2% for two digits, / between folders"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("File"), column});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QString &path = m_files[row].path;
        auto *item = new QTableWidgetItem(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
        item->setToolTip(path);
        m_table->setItem(row, 0, item);
    }

    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("&Pattern:"), this);
    label->setBuddy(m_pattern);
    layout->addWidget(label);
    layout->addWidget(m_pattern);
    layout->addWidget(m_status);
    layout->addWidget(m_table);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &PatternDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &PatternDialog::reject);
    connect(m_pattern, &QLineEdit::textChanged, this, &PatternDialog::refresh);
    resize(640, 420);
}

QString PatternDialog::pattern() const
{
    return m_pattern->text();
}

void PatternDialog::start()
{
    refresh();
}

void PatternDialog::setRow(int row, const QString &text, const QString &failure)
{
    auto *item = new QTableWidgetItem(failure.isEmpty() ? text : failure);
    // A failing row is told apart by its colour, and by its flag for whoever reads the table.
    item->setData(Qt::UserRole, !failure.isEmpty());
    if (!failure.isEmpty())
        item->setForeground(QColor(Qt::darkRed));
    item->setToolTip(item->text());
    m_table->setItem(row, 1, item);
}

void PatternDialog::refresh()
{
    QString error;
    int changes = 0;
    if (m_parsed.parse(m_pattern->text(), &error)) {
        changes = preview(m_parsed);
        m_status->setText(QStringLiteral("%1 of %2 files change").arg(changes).arg(m_files.size()));
    } else {
        for (int row = 0; row < m_table->rowCount(); ++row)
            m_table->setItem(row, 1, nullptr);
        m_status->setText(error);
    }
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(changes > 0);
}

void PatternDialog::accept()
{
    if (m_parsed.isEmpty())
        return;
    QSettings().setValue(m_settingsKey, m_pattern->text());
    apply(m_parsed);
    QDialog::accept();
}
