// One JSON object as text, written straight from its values: byte for byte what QJsonDocument's
// compact form gives for the same object (members sorted by key, of one key the last one added,
// strings escaped as it escapes them), at a small part of the cost of building a QJsonObject
// and converting it, which for `show --json` came to more than reading the tags.
#ifndef JSONOBJECTWRITER_H
#define JSONOBJECTWRITER_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <utility>

class JsonObjectWriter
{
public:
    void add(const QString &key, const QString &value);
    void add(const QString &key, qint64 value);
    void add(const QString &key, int value) { add(key, qint64(value)); }
    // An array of strings.
    void add(const QString &key, const QStringList &values);
    void add(const QString &key, const JsonObjectWriter &object);
    // An array of objects.
    void add(const QString &key, const QList<JsonObjectWriter> &objects);

    QByteArray text() const;

    // text as a JSON string, quotes included, appended to json.
    static void appendString(QByteArray &json, QStringView text);

private:
    QList<std::pair<QString, QByteArray>> m_members; // each value as JSON text
};

#endif // JSONOBJECTWRITER_H
