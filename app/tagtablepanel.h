// Every field of the selected files beside the form: a table of keys and values.
#ifndef TAGTABLEPANEL_H
#define TAGTABLEPANEL_H

#include "sessionrow.h"

#include <QWidget>

class QComboBox;
class QLayout;
class QPushButton;
class QTableView;
class SelectionTagsModel;
class TagSession;

// The keys of the selection with their values, edited in place, several values one a line.
// "Add field" adds the field chosen from the field table, or any name typed, and opens its value
// for editing; "Remove field" removes the current one from every selected file.
class TagTablePanel : public QWidget
{
    Q_OBJECT

public:
    explicit TagTablePanel(TagSession *session, QWidget *parent = nullptr);

    void setSelection(const QList<RowId> &ids);
    SelectionTagsModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    // The key the field chooser names: a field table's label or key, or the name as typed.
    QString chosenKey() const;

private:
    QTableView *createView();
    QLayout *createButtons();
    void addField();
    void removeField();
    void updateButtons();

    SelectionTagsModel *m_model;
    QTableView *m_view = nullptr;
    QComboBox *m_fieldChoice = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_removeButton = nullptr;
};

#endif // TAGTABLEPANEL_H
