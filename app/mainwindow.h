#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QStringList>
#include <QUrl>

#include <chrono>

class QCloseEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class ProductProfile;
class FileListPanel;
class PicturePanel;
class TagTablePanel;
class TagSession;
class TextFinder;

namespace Ui {
class MainWindow;
}

// The shell around the tag editor: "System" and "Other Freeware" menus, the status bar with
// its two labels, and the two requests sent at start (other-programs feed, version feed).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // feedUrl is the other-programs feed; the program always uses the built-in address, and
    // only tests hand in another one (a server on the loopback interface). Likewise only tests
    // shorten transferTimeout, after which a request that receives nothing is abandoned.
    explicit MainWindow(QWidget *parent = nullptr, const QUrl &feedUrl = defaultFeedUrl(),
                        std::chrono::milliseconds transferTimeout = defaultTransferTimeout);
    ~MainWindow() override;

    // Opens files and folders in the editor, as a drop of them does.
    void openFiles(const QStringList &paths);

    // The feed address chosen when the program was built (TAGDESK_FEED_URL).
    static QUrl defaultFeedUrl();

    // Both answers are a few KiB at most: a server that goes quiet this long has stopped.
    static constexpr std::chrono::milliseconds defaultTransferTimeout = std::chrono::seconds(30);

private slots:
    void openurl();
    void replyFinished();
    void replyVerFinished();

public slots:
    void updateSysInfo(const QString &message);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createShortcuts();
    void createFileDrops();
    void createFileList();
    void createFieldPanels();
    void createSelectionTools();
    void createUndo();
    void placeList(bool shown);
    void restoreLayout();
    void saveLayout() const;
    void createProgress();
    void showProgress(qsizetype done, qsizetype total);

    Ui::MainWindow *ui;
    // What the form and the list show and edit: the one session of the window.
    TagSession *session;
    TextFinder *textFinder;
    FileListPanel *fileList = nullptr;
    TagTablePanel *tagTable = nullptr;
    PicturePanel *picturePanel = nullptr;
    QLabel *infoDisplay;
    QLabel *verDisplay;
    ProductProfile *profile;
    // How far reading or saving the files of the list got, and a button to stop it.
    QProgressBar *progressBar = nullptr;
    QPushButton *cancelButton = nullptr;
};

#endif // MAINWINDOW_H
