// A temporary home directory and working directory for one test: the product profile reads
// "tconfig" from the working directory and its database from the home directory.
#ifndef PROFILEFIXTURE_H
#define PROFILEFIXTURE_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

class ProfileFixture
{
public:
    // Points HOME and the working directory at fresh temporary folders.
    ProfileFixture();
    // Restores HOME and the working directory; the folders are removed.
    ~ProfileFixture();

    bool isValid() const { return m_valid; }
    QString homePath() const { return m_home.path(); }
    QString workPath() const { return m_work.path(); }
    // Where the profile looks for its database.
    QString databasePath() const;

    bool writeTconfig(const QByteArray &content) const;
    // A tconfig and a database naming the product "TagDesk Test", version "1.2", whose version
    // feed is versionFeed.
    bool writeTestProduct(const QString &versionFeed) const;

    // Creates the database (and its folder) and runs each statement in it.
    bool createDatabase(const QStringList &statements) const;
    // Runs an SQL script file of statements ended by ";" into the database.
    bool createDatabaseFromScript(const QString &scriptPath) const;

    // The product table with all the columns the profile asks for, plus bh.
    static QString productTable();
    // An insert of one product row; the columns not named here hold placeholder values
    // unlike any of the named ones.
    static QString productRow(const QString &bh, const QVariant &mc, const QVariant &ver,
                              const QVariant &help, const QVariant &home, const QVariant &xml);

private:
    ProfileFixture(const ProfileFixture &) = delete;
    ProfileFixture &operator=(const ProfileFixture &) = delete;

    QTemporaryDir m_home;
    QTemporaryDir m_work;
    QByteArray m_oldHome;
    bool m_hadHome = false;
    QString m_oldCwd;
    bool m_valid = false;
};

#endif // PROFILEFIXTURE_H
