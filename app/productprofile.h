#ifndef PRODUCTPROFILE_H
#define PRODUCTPROFILE_H

#include <QSqlDatabase>
#include <QString>

// What the program knows about itself as a product, read once at start-up from "tconfig" in
// the working directory (line 3: the product code) and from the product database in the
// user's Documents folder. Failures go to qDebug() only and leave the values empty.
class ProductProfile
{
public:
    ProductProfile();
    ~ProductProfile();

    QString mc() const { return m_mc; }
    QString ver() const { return m_ver; }
    QString help() const { return m_help; }
    QString home() const { return m_home; }
    QString xml() const { return m_xml; }

    // The product database: the user's home folder + "/Documents/Tarnwick/profile-lumo".
    static QString databasePath();

private:
    ProductProfile(const ProductProfile &) = delete;
    ProductProfile &operator=(const ProductProfile &) = delete;

    QString m_mc; // product name
    QString m_ver; // installed version
    QString m_help; // address of the help page
    QString m_home; // address of the product's home page
    QString m_xml; // address of the version feed
    QString productCode; // looked up in column bh
    QSqlDatabase database;
};

#endif // PRODUCTPROFILE_H
