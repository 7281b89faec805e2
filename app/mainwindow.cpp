#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "filedropfilter.h"
#include "filelistpanel.h"
#include "limitedreply.h"
#include "picturepanel.h"
#include "productprofile.h"
#include "selectiontools.h"
#include "tagsession.h"
#include "tagtablepanel.h"
#include "textfinder.h"
#include "versionorder.h"

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>

namespace {

// Both feeds come over plain HTTP, so a broken server or anyone on the way decides what
// arrives; a real feed is a few KiB and a real version reply a few hundred bytes. Anything
// larger is cut off as it arrives and read as an empty answer, so it cannot fill the memory.
constexpr qint64 maxFeedBytes = 256 * 1024;
constexpr qint64 maxVersionReplyBytes = 64 * 1024;

// A real feed has a few dozen entries; hundreds of thousands of menus freeze the window.
constexpr int maxFeedEntries = 200;
constexpr int maxFeedSubmenus = 50;

// A version number is a few characters; a longer text is no version.
constexpr int maxVersionLength = 32;

} // namespace

MainWindow::MainWindow(QWidget *parent, const QUrl &feedUrl,
                       std::chrono::milliseconds transferTimeout)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , session(new TagSession(this))
    , textFinder(nullptr)
    , infoDisplay(nullptr)
    , verDisplay(nullptr)
    , profile(nullptr)
{
    ui->setupUi(this);

    // Replaces the form's empty central widget, which Qt then disposes of.
    textFinder = new TextFinder(this, session);
    setCentralWidget(textFinder);
    connect(textFinder, &TextFinder::sysInfo, this, &MainWindow::updateSysInfo);

    profile = new ProductProfile;

    ui->actionHelp->setData(profile->help());
    ui->actionSupport->setData(profile->home() + QStringLiteral("#support"));
    ui->actionCheck_New_Version->setData(profile->home() + QStringLiteral("#news"));
    // "[*]" is where the title marks unsaved changes; one in the product name stays as it is.
    setWindowTitle(QString(profile->mc()).replace(QLatin1String("[*]"), QLatin1String("[*][*]"))
                   + QLatin1String("[*]"));
    connect(textFinder, &TextFinder::modificationChanged, this, &QWidget::setWindowModified);

    connect(ui->actionHelp, &QAction::triggered, this, &MainWindow::openurl);
    connect(ui->actionSupport, &QAction::triggered, this, &MainWindow::openurl);
    connect(ui->actionCheck_New_Version, &QAction::triggered, this, &MainWindow::openurl);
    connect(ui->actionExit, &QAction::triggered, this, &MainWindow::close);

    // The manager and its replies live as long as the window; the reply slots find their
    // reply as the sender.
    auto *manager = new QNetworkAccessManager(this);
    // Plain requests, as the feeds have always been asked for: a redirect is not followed, and
    // its own body is what the reply slots read.
    manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    LimitedReply *feedReply = LimitedReply::get(manager, feedUrl, maxFeedBytes, transferTimeout);
    connect(feedReply, &LimitedReply::finished, this, &MainWindow::replyFinished);
    LimitedReply *verReply = LimitedReply::get(manager, QUrl(profile->xml()), maxVersionReplyBytes,
                                               transferTimeout);
    connect(verReply, &LimitedReply::finished, this, &MainWindow::replyVerFinished);

    infoDisplay = new QLabel(ui->statusbar);
    infoDisplay->setObjectName(QStringLiteral("info_display"));
    infoDisplay->setAlignment(Qt::AlignLeft);
    infoDisplay->setFrameShape(QFrame::NoFrame);
    ui->statusbar->setAutoFillBackground(true);
    ui->statusbar->setSizeGripEnabled(false);
    ui->statusbar->addPermanentWidget(infoDisplay, 0);
    infoDisplay->show();
    infoDisplay->setText(tr("Check new version...."));
    // Why an open or a save failed, on the status text that says it did.
    connect(textFinder, &TextFinder::sysInfoReason, infoDisplay, &QWidget::setToolTip);

    verDisplay = new QLabel(ui->statusbar);
    verDisplay->setObjectName(QStringLiteral("ver_display"));
    verDisplay->setAlignment(Qt::AlignRight);
    verDisplay->setFrameShape(QFrame::NoFrame);
    ui->statusbar->addPermanentWidget(verDisplay, 0);
    verDisplay->show();
    verDisplay->setText(tr(" Ver ") + profile->ver());

    createShortcuts();
    createFileList();
    createFieldPanels();
    createSelectionTools();
    createUndo();
    createFileDrops();
    createProgress();
    restoreLayout();
}

MainWindow::~MainWindow()
{
    // The views before the session they show.
    disconnect(fileList, nullptr, this, nullptr);
    delete fileList;
    delete tagTable;
    delete picturePanel;
    delete textFinder;
    delete ui;
    delete profile;
}

void MainWindow::openFiles(const QStringList &paths)
{
    textFinder->openFiles(paths);
}

QUrl MainWindow::defaultFeedUrl()
{
    return QUrl(QStringLiteral(TAGDESK_FEED_URL));
}

void MainWindow::openurl()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    const QUrl url(action->data().toString());
    // Addresses also come from an unauthenticated network answer: a file: or other address
    // could start a local program, so only web pages are handed to the desktop.
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        qDebug() << "openurl: not an http or https address, ignored:" << url.toString();
        return;
    }
    QDesktopServices::openUrl(url);
}

namespace {

// A feed body as text: UTF-8, ending at the first NUL byte if there is one.
QString replyText(QObject *sender)
{
    auto *reply = qobject_cast<LimitedReply *>(sender);
    if (!reply)
        return QString();
    QByteArray body = reply->body();
    const qsizetype nul = body.indexOf('\0');
    if (nul >= 0)
        body.truncate(nul);
    return QString::fromUtf8(body);
}

// Menu texts take "&" as a shortcut marker; feed titles are shown as they are written.
QString menuText(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

void MainWindow::replyFinished()
{
    // One record per line: title,address,group. A line with fewer than three fields ends the
    // list. Each run of equal groups becomes one submenu, so a group that comes back after
    // another gets a second submenu. The list also ends at the entry or submenu past the limits.
    const QStringList lines = replyText(sender()).split(QLatin1Char('\n'));
    QString lastGroup;
    // Records before the first group (an empty group field) sit in the menu itself.
    QMenu *submenu = ui->menuOther_Freeware;
    int entries = 0;
    int submenus = 0;
    for (const QString &line : lines) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() < 3 || entries == maxFeedEntries)
            return;
        if (fields.at(2) != lastGroup) {
            if (submenus == maxFeedSubmenus)
                return;
            submenu = ui->menuOther_Freeware->addMenu(menuText(fields.at(2)));
            lastGroup = fields.at(2);
            ++submenus;
        }
        auto *action = new QAction(menuText(fields.at(0)), this);
        action->setData(fields.at(1));
        connect(action, &QAction::triggered, this, &MainWindow::openurl);
        submenu->addAction(action);
        ++entries;
    }
}

void MainWindow::replyVerFinished()
{
    static const QRegularExpression versionElement(QStringLiteral("<Program_Version>([^<]*)"));
    const QRegularExpressionMatch match = versionElement.match(replyText(sender()));
    if (!match.hasMatch())
        return;
    const QString latest = match.captured(1);
    if (latest.size() > maxVersionLength)
        return;
    if (versionSortsBefore(profile->ver(), latest))
        infoDisplay->setText(QStringLiteral("New version ") + latest + QStringLiteral(" found"));
    else
        infoDisplay->setText(QString());
}

void MainWindow::updateSysInfo(const QString &message)
{
    infoDisplay->setText(message);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing by "Exit", its shortcut or the title bar never loses unsaved changes silently.
    // Several files are saved in the background: the window closes once they are.
    const TextFinder::GoOn go
            = textFinder->askToGoOn({}, [this] { QTimer::singleShot(0, this, &QWidget::close); });
    if (go != TextFinder::GoOn::Now) {
        event->ignore();
        return;
    }
    saveLayout();
    event->accept();
}

void MainWindow::restoreLayout()
{
    const QSettings settings;
    restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
}

void MainWindow::saveLayout() const
{
    QSettings settings;
    settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
    if (fileList->isVisible())
        settings.setValue(QStringLiteral("window/listHeight"), fileList->height());
}

void MainWindow::placeList(bool shown)
{
    if (!shown)
        return;
    // Room for the list as well as the form; the list takes most of the height, or the height
    // it had last.
    const QSize listWidth(fileList->sizeHint().width(), 0);
    resize(size().expandedTo(sizeHint()).expandedTo(listWidth));
    const int height = QSettings().value(QStringLiteral("window/listHeight"), 0).toInt();
    resizeDocks({fileList}, {height > 0 ? height : this->height() * 2 / 3}, Qt::Vertical);
}

void MainWindow::createShortcuts()
{
    // "Open" and "Save" have theirs from the editor. Windows has no standard key to quit
    // (Alt+F4 closes any window there): Ctrl+Q, as on the other desktops.
    QList<QKeySequence> quit = QKeySequence::keyBindings(QKeySequence::Quit);
    if (quit.isEmpty())
        quit << QKeySequence(Qt::CTRL | Qt::Key_Q);
    ui->actionExit->setShortcuts(quit);
}

void MainWindow::createFileDrops()
{
    auto *drops = new FileDropFilter(this);
    // Handled once the drop is over: the file manager that started the drag is not kept
    // waiting while a file is read or a question is asked.
    connect(drops, &FileDropFilter::audioDropped, textFinder, &TextFinder::openFile,
            Qt::QueuedConnection);
    connect(drops, &FileDropFilter::imageDropped, textFinder, &TextFinder::chooseCover,
            Qt::QueuedConnection);
    connect(drops, &FileDropFilter::filesDropped, textFinder, &TextFinder::openFiles,
            Qt::QueuedConnection);
}

void MainWindow::createFileList()
{
    // Above the editor, shown once several files are open; its edge to the form moves as a
    // splitter's does.
    fileList = new FileListPanel(session, this);
    addDockWidget(Qt::TopDockWidgetArea, fileList);
    textFinder->setFileList(fileList);
    connect(fileList, &QDockWidget::visibilityChanged, this, &MainWindow::placeList);
}

void MainWindow::createFieldPanels()
{
    // Beside the form: every field and every picture of what the form shows, one file or the
    // files selected in the list. Not closable, since no menu could bring them back.
    const auto dock = [this](QWidget *panel, const QString &title, const QString &name) {
        auto *dock = new QDockWidget(title, this);
        dock->setObjectName(name);
        dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
        dock->setWidget(panel);
        addDockWidget(Qt::RightDockWidgetArea, dock);
        return dock;
    };
    tagTable = new TagTablePanel(session, this);
    picturePanel = new PicturePanel(session, this);
    QDockWidget *tags = dock(tagTable, tr("Tags"), QStringLiteral("tagsDock"));
    QDockWidget *pictures = dock(picturePanel, tr("Pictures"), QStringLiteral("picturesDock"));
    tabifyDockWidget(tags, pictures);
    tags->raise();
    connect(textFinder, &TextFinder::selectionChanged, tagTable, &TagTablePanel::setSelection);
    connect(textFinder, &TextFinder::selectionChanged, picturePanel, &PicturePanel::setSelection);
    connect(picturePanel, &PicturePanel::message, this, &MainWindow::updateSysInfo);
}

void MainWindow::createSelectionTools()
{
    auto *tools = new SelectionTools(session, this);
    tools->setSelection([this] { return fileList->selectedIds(); });
    fileList->contextMenu()->addSeparator();
    tools->addTo(fileList->contextMenu());
    connect(tools, &SelectionTools::status, this,
            [this](const QString &message, const QString &reason) {
                updateSysInfo(message);
                infoDisplay->setToolTip(reason);
            });
}

void MainWindow::createUndo()
{
    // The session's undo, by the standard keys anywhere in the window and in the list's menu;
    // none of the window's menus.
    QAction *undo = session->undoStack()->createUndoAction(this, tr("Undo"));
    undo->setObjectName(QStringLiteral("actionUndo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = session->undoStack()->createRedoAction(this, tr("Redo"));
    redo->setObjectName(QStringLiteral("actionRedo"));
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    const QKeySequence shiftZ(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    if (!redoKeys.contains(shiftZ))
        redoKeys.prepend(shiftZ);
    redo->setShortcuts(redoKeys);
    addAction(undo);
    addAction(redo);
    fileList->contextMenu()->addSeparator();
    fileList->contextMenu()->addAction(undo);
    fileList->contextMenu()->addAction(redo);
}

void MainWindow::createProgress()
{
    // At the left of the status bar, only while the files of the list are read or saved.
    progressBar = new QProgressBar(ui->statusbar);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setMaximumWidth(200);
    cancelButton = new QPushButton(tr("Cancel"), ui->statusbar);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    ui->statusbar->addWidget(progressBar);
    ui->statusbar->addWidget(cancelButton);
    progressBar->hide();
    cancelButton->hide();
    FileListPanel *files = fileList;
    connect(files, &FileListPanel::progress, this, &MainWindow::showProgress);
    connect(files, &FileListPanel::busyChanged, progressBar, &QWidget::setVisible);
    connect(files, &FileListPanel::busyChanged, cancelButton, &QWidget::setVisible);
    connect(cancelButton, &QAbstractButton::clicked, files, &FileListPanel::cancel);
}

void MainWindow::showProgress(qsizetype done, qsizetype total)
{
    // Never an empty range: the bar's busy animation would keep repainting the window, a cost
    // the GUI thread pays while the files are read.
    progressBar->setRange(0, int(qMax<qsizetype>(total, 1)));
    progressBar->setValue(int(done));
}
