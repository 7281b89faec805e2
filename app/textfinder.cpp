#include "textfinder.h"
#include "ui_textfinder.h"

TextFinder::TextFinder(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TextFinder)
{
    ui->setupUi(this);
    // The receiver is whatever widget hosts the editor; the main window provides the slot.
    connect(this, SIGNAL(sysInfo(QString)), parent, SLOT(updateSysInfo(QString)));
}

TextFinder::~TextFinder()
{
    delete ui;
}

void TextFinder::on_choosePicButton_clicked() { }

void TextFinder::on_findButton_clicked() { }

void TextFinder::on_saveButton_clicked() { }
