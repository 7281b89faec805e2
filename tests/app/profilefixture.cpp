#include "profilefixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtDebug>

namespace {

const char fixtureConnection[] = "profilefixture";

QString sqlLiteral(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
        return value.toString();
    QString text = value.toString();
    text.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

} // namespace

ProfileFixture::ProfileFixture()
{
    m_hadHome = qEnvironmentVariableIsSet("HOME");
    m_oldHome = qgetenv("HOME");
    m_oldCwd = QDir::currentPath();
    if (!m_home.isValid() || !m_work.isValid())
        return;
    qputenv("HOME", QFile::encodeName(m_home.path()));
    m_valid = QDir::homePath() == m_home.path() && QDir::setCurrent(m_work.path());
}

ProfileFixture::~ProfileFixture()
{
    QDir::setCurrent(m_oldCwd);
    if (m_hadHome)
        qputenv("HOME", m_oldHome);
    else
        qunsetenv("HOME");
}

QString ProfileFixture::databasePath() const
{
    return m_home.path() + QStringLiteral("/Documents/Tarnwick/profile-lumo");
}

bool ProfileFixture::writeTconfig(const QByteArray &content) const
{
    QFile file(QDir(m_work.path()).filePath(QStringLiteral("tconfig")));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool ProfileFixture::writeTestProduct(const QString &versionFeed) const
{
    return writeTconfig("TagDesk\nTarnwick\nTD-TEST\n")
            && createDatabase(
                    {productTable(),
                     productRow("TD-TEST", "TagDesk Test", "1.2", "http://help.test/manual",
                                "https://home.test/p", versionFeed)});
}

bool ProfileFixture::createDatabase(const QStringList &statements) const
{
    if (!QDir().mkpath(QFileInfo(databasePath()).path()))
        return false;
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                    QLatin1String(fixtureConnection));
        db.setDatabaseName(databasePath());
        ok = db.open();
        for (const QString &statement : statements) {
            if (!ok)
                break;
            QSqlQuery query(db);
            ok = query.exec(statement);
            if (!ok)
                qWarning() << "fixture statement failed:" << statement << query.lastError();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(fixtureConnection));
    return ok;
}

bool ProfileFixture::createDatabaseFromScript(const QString &scriptPath) const
{
    QFile file(scriptPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QString text;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.trimmed().startsWith(QLatin1String("--")))
            text += line + QLatin1Char('\n');
    }
    QStringList statements;
    for (const QString &statement : text.split(QLatin1Char(';'))) {
        if (!statement.trimmed().isEmpty())
            statements << statement.trimmed();
    }
    return !statements.isEmpty() && createDatabase(statements);
}

QString ProfileFixture::productTable()
{
    return QStringLiteral(
            "create table product (bh text, mc text, id integer, support text, trial integer, "
            "ver text, help text, pro integer, av text, isSupportYoutube integer, ad text, "
            "buy text, engine text, news text, free integer, encoder text, home text, "
            "isSupportFile integer, jx text, xml text)");
}

QString ProfileFixture::productRow(const QString &bh, const QVariant &mc, const QVariant &ver,
                                   const QVariant &help, const QVariant &home, const QVariant &xml)
{
    return QStringLiteral("insert into product (bh, mc, id, support, trial, ver, help, pro, av, "
                          "isSupportYoutube, ad, buy, engine, news, free, encoder, home, "
                          "isSupportFile, jx, xml) values (%1, %2, 7, 'col-support', 1, %3, %4, 0, "
                          "'col-av', 1, 'col-ad', 'col-buy', 'col-engine', 'col-news', 0, "
                          "'col-encoder', %5, 1, 'col-jx', %6)")
            .arg(sqlLiteral(bh), sqlLiteral(mc), sqlLiteral(ver), sqlLiteral(help),
                 sqlLiteral(home), sqlLiteral(xml));
}
