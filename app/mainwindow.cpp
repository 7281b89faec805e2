#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "productprofile.h"
#include "textfinder.h"

#include <QAction>
#include <QDebug>
#include <QDesktopServices>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStatusBar>

MainWindow::MainWindow(QWidget *parent, const QUrl &feedUrl)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , textFinder(nullptr)
    , infoDisplay(nullptr)
    , verDisplay(nullptr)
    , profile(nullptr)
{
    ui->setupUi(this);

    // Replaces the form's empty central widget, which Qt then disposes of.
    textFinder = new TextFinder(this);
    setCentralWidget(textFinder);

    profile = new ProductProfile;

    ui->actionHelp->setData(profile->help());
    ui->actionSupport->setData(profile->home() + QStringLiteral("#support"));
    ui->actionCheck_New_Version->setData(profile->home() + QStringLiteral("#news"));
    setWindowTitle(profile->mc());

    connect(ui->actionHelp, &QAction::triggered, this, &MainWindow::openurl);
    connect(ui->actionSupport, &QAction::triggered, this, &MainWindow::openurl);
    connect(ui->actionCheck_New_Version, &QAction::triggered, this, &MainWindow::openurl);
    connect(ui->actionExit, &QAction::triggered, this, &MainWindow::close);

    // The manager and its replies live as long as the window; the reply slots find their
    // reply as the sender.
    auto *manager = new QNetworkAccessManager(this);
    QNetworkReply *feedReply = manager->get(QNetworkRequest(feedUrl));
    connect(feedReply, &QNetworkReply::finished, this, &MainWindow::replyFinished);
    QNetworkReply *verReply = manager->get(QNetworkRequest(QUrl(profile->xml())));
    connect(verReply, &QNetworkReply::finished, this, &MainWindow::replyVerFinished);

    infoDisplay = new QLabel(ui->statusbar);
    infoDisplay->setObjectName(QStringLiteral("info_display"));
    infoDisplay->setAlignment(Qt::AlignLeft);
    infoDisplay->setFrameShape(QFrame::NoFrame);
    ui->statusbar->setAutoFillBackground(true);
    ui->statusbar->setSizeGripEnabled(false);
    ui->statusbar->addPermanentWidget(infoDisplay, 0);
    infoDisplay->show();
    infoDisplay->setText(tr("Check new version...."));

    verDisplay = new QLabel(ui->statusbar);
    verDisplay->setObjectName(QStringLiteral("ver_display"));
    verDisplay->setAlignment(Qt::AlignRight);
    verDisplay->setFrameShape(QFrame::NoFrame);
    ui->statusbar->addPermanentWidget(verDisplay, 0);
    verDisplay->show();
    verDisplay->setText(tr(" Ver ") + profile->ver());
}

MainWindow::~MainWindow()
{
    delete ui;
    delete profile;
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

void MainWindow::replyFinished() { }

void MainWindow::replyVerFinished() { }

void MainWindow::updateSysInfo(const QString &message)
{
    infoDisplay->setText(message);
}
