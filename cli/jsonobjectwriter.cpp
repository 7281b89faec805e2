#include "jsonobjectwriter.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

char hexDigit(unsigned value)
{
    return char(value < 10 ? '0' + value : 'a' + value - 10);
}

// Writes the escape \uXXXX of unit at out; returns where it ends.
char *escape(char *out, char16_t unit)
{
    *out++ = '\\';
    *out++ = 'u';
    for (int shift = 12; shift >= 0; shift -= 4)
        *out++ = hexDigit((unit >> shift) & 0xf);
    return out;
}

} // namespace

void JsonObjectWriter::appendString(QByteArray &json, QStringView text)
{
    // Written through a pointer into room for the longest form (an escape of six bytes for each
    // unit), then cut to what was written.
    const qsizetype start = json.size();
    json.resize(start + 6 * text.size() + 2);
    char *out = json.data() + start;
    *out++ = '"';
    const char16_t *unit = text.utf16();
    const char16_t *const end = unit + text.size();
    while (unit != end) {
        const char16_t u = *unit++;
        if (u >= 0x20 && u < 0x80 && u != '"' && u != '\\') {
            *out++ = char(u);
        } else if (u < 0x80) {
            *out++ = '\\';
            switch (u) {
            case '"':
                *out++ = '"';
                break;
            case '\\':
                *out++ = '\\';
                break;
            case '\b':
                *out++ = 'b';
                break;
            case '\f':
                *out++ = 'f';
                break;
            case '\n':
                *out++ = 'n';
                break;
            case '\r':
                *out++ = 'r';
                break;
            case '\t':
                *out++ = 't';
                break;
            default:
                out = escape(out - 1, u);
            }
        } else if (u < 0x800) {
            *out++ = char(0xc0 | (u >> 6));
            *out++ = char(0x80 | (u & 0x3f));
        } else if (u < 0xd800 || u > 0xdfff) {
            *out++ = char(0xe0 | (u >> 12));
            *out++ = char(0x80 | ((u >> 6) & 0x3f));
            *out++ = char(0x80 | (u & 0x3f));
        } else if (u < 0xdc00 && unit != end && *unit >= 0xdc00 && *unit <= 0xdfff) {
            const char32_t point = 0x10000 + ((char32_t(u) - 0xd800) << 10) + (*unit++ - 0xdc00);
            *out++ = char(0xf0 | (point >> 18));
            *out++ = char(0x80 | ((point >> 12) & 0x3f));
            *out++ = char(0x80 | ((point >> 6) & 0x3f));
            *out++ = char(0x80 | (point & 0x3f));
        } else {
            // A surrogate without its other half has no UTF-8: escaped, as Qt does.
            out = escape(out, u);
        }
    }
    *out++ = '"';
    json.resize(out - json.constData());
}

void JsonObjectWriter::add(const QString &key, const QString &value)
{
    QByteArray json;
    appendString(json, value);
    m_members.append({key, json});
}

void JsonObjectWriter::add(const QString &key, qint64 value)
{
    m_members.append({key, QByteArray::number(value)});
}

void JsonObjectWriter::add(const QString &key, const QStringList &values)
{
    QByteArray json = "[";
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            json += ',';
        appendString(json, values[i]);
    }
    json += ']';
    m_members.append({key, json});
}

void JsonObjectWriter::add(const QString &key, const JsonObjectWriter &object)
{
    m_members.append({key, object.text()});
}

void JsonObjectWriter::add(const QString &key, const QList<JsonObjectWriter> &objects)
{
    QByteArray json = "[";
    for (qsizetype i = 0; i < objects.size(); ++i) {
        if (i > 0)
            json += ',';
        json += objects[i].text();
    }
    json += ']';
    m_members.append({key, json});
}

QByteArray JsonObjectWriter::text() const
{
    // QJsonObject orders its keys by their UTF-16 code units, as QString compares them.
    std::vector<qsizetype> order(std::size_t(m_members.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](qsizetype a, qsizetype b) {
        return m_members[a].first < m_members[b].first;
    });
    QByteArray json = "{";
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto &member = m_members[order[i]];
        // Of several members of one key the last one stands, as an insert into QJsonObject
        // replaces the value.
        if (i + 1 < order.size() && m_members[order[i + 1]].first == member.first)
            continue;
        if (json.size() > 1)
            json += ',';
        appendString(json, member.first);
        json += ':';
        json += member.second;
    }
    json += '}';
    return json;
}
