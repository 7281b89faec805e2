#include "productprofile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

ProductProfile::ProductProfile()
{
    QFile file(QStringLiteral("tconfig"));
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "fileopen error";
    } else {
        QTextStream in(&file);
        in.readLine();
        in.readLine();
        productCode = in.readLine(); // null when the file has fewer than three lines
        file.close();
    }

    database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    database.setDatabaseName(databasePath());
    // The profile never writes; read-only also keeps SQLite from creating an empty database
    // file in the user's Documents folder when there is none.
    database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!database.open())
        qDebug() << "sqlite error";

    QSqlQuery query(database);
    // SQLite reports a missing table or column when the statement is prepared; executing it
    // after that would only report a parameter mismatch, so that first error is the one given.
    if (!query.prepare(QStringLiteral(
                "select mc,id,support,trial,ver,help,pro,av,isSupportYoutube,ad,buy,engine,news,"
                "free,encoder,home,isSupportFile,jx,xml from product where bh = :id"))) {
        qDebug() << query.lastError();
    } else {
        query.bindValue(QStringLiteral(":id"), productCode);
        if (!query.exec())
            qDebug() << query.lastError();
    }

    // Several rows with the same code: the last one wins.
    while (query.next()) {
        m_mc = query.value(0).toString();
        m_ver = query.value(4).toString();
        m_help = query.value(5).toString();
        m_home = query.value(15).toString();
        m_xml = query.value(18).toString();
    }
}

QString ProductProfile::databasePath()
{
    return QDir::homePath() + QStringLiteral("/Documents/Tarnwick/profile-lumo");
}

ProductProfile::~ProductProfile()
{
    database.close();
}
