#include "userinput.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QWidget>
#include <QWindow>

std::unique_ptr<QTimer> answerFileDialog(const QString &path, DialogSeen *seen)
{
    auto timer = std::make_unique<QTimer>();
    auto answered = std::make_shared<QPointer<QFileDialog>>();
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [answered, path, seen] {
        QWidget *modal = QApplication::activeModalWidget();
        if (seen->shown) {
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                seen->complaint = box->text();
                box->reject();
            } else if (!answered->isNull() && answered->data()->isVisible()) {
                answered->data()->reject();
            }
            return;
        }
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog || !dialog->isVisible())
            return;
        seen->shown = true;
        seen->title = dialog->windowTitle();
        seen->filters = dialog->nameFilters();
        seen->directory = dialog->directory().absolutePath();
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        seen->typedName = name ? name->text() : QString();
        *answered = dialog;
        if (path.isEmpty()) {
            dialog->reject();
        } else {
            // What a user types into the name box. The box may already hold a name and have
            // the focus, in which case selectFile() would leave it as it is.
            if (name)
                name->setText(path);
            else
                dialog->selectFile(path);
            // QFileDialog's own accept(), which checks the name, through the public slot.
            static_cast<QDialog *>(dialog)->accept();
        }
    });
    timer->start(10);
    return timer;
}

std::unique_ptr<QTimer> answerMessageBox(QMessageBox::StandardButton button, QString *text)
{
    auto timer = std::make_unique<QTimer>();
    QTimer *self = timer.get();
    QObject::connect(self, &QTimer::timeout, self, [self, button, text] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QAbstractButton *answer = box && box->isVisible() ? box->button(button) : nullptr;
        if (!answer)
            return;
        *text = box->text();
        self->stop();
        answer->click();
    });
    timer->start(10);
    return timer;
}

std::unique_ptr<QTimer> answerPatternDialog(const QString &pattern)
{
    auto timer = std::make_unique<QTimer>();
    QTimer *self = timer.get();
    QObject::connect(self, &QTimer::timeout, self, [self, pattern] {
        QWidget *dialog = QApplication::activeModalWidget();
        auto *edit = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("pattern")) : nullptr;
        if (!edit)
            return;
        self->stop();
        edit->setText(pattern);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    timer->start(10);
    return timer;
}

bool dropFiles(QWidget *window, const QPoint &pos, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    // File managers offer the names as text as well, which a text field would paste.
    data.setText(paths.join(QLatin1Char('\n')));

    // Through the platform window, which hands each event to the widget under pos.
    QWindow *target = window->windowHandle();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(pos, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(pos, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    if (!move.isAccepted()) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(target, &leave);
        return false;
    }
    QDropEvent drop(pos, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}
