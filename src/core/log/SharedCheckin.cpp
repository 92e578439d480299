#include "core/log/SharedCheckin.h"

#include <QUuid>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QString NormalUuid(const QString& text)
{
    // Only the plain form, 8-4-4-4-12 hexadecimal digits: "{...}" and the like are not taken.
    if (text.size() != 36)
        return QString();
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull())
        return QString();
    const QString normal = uuid.toString(QUuid::WithoutBraces);
    return normal.compare(text, Qt::CaseInsensitive) == 0 ? normal : QString();
}

namespace SharedFields {

namespace {

struct CFieldInfo
{
    const char* label;
    const char* key;
    QString CCheckinRecord::*text;
    bool CCheckinRecord::*flag;
};

const CFieldInfo kFields[kCount] = {
    {"Call Sign", "call", &CCheckinRecord::callSign, nullptr},
    {"Name", "name", &CCheckinRecord::name, nullptr},
    {"Street", "street", &CCheckinRecord::street, nullptr},
    {"Location", "location", &CCheckinRecord::location, nullptr},
    {"Comment", "comment", &CCheckinRecord::comment, nullptr},
    {"Date", "date", nullptr, nullptr},
    {"Comments", "comments", nullptr, &CCheckinRecord::hasComments},
    {"Traffic", "traffic", nullptr, &CCheckinRecord::hasTraffic},
    {"Ack", "ack", nullptr, &CCheckinRecord::acknowledged},
    {"Class", "class", &CCheckinRecord::cls, nullptr},
    {"Grid", "grid", &CCheckinRecord::yourGrid, nullptr},
    {"E-Mail", "email", &CCheckinRecord::email, nullptr},
};

} // namespace

QString Label(Field field)
{
    return QString::fromLatin1(kFields[field].label);
}

QString Text(const CCheckinRecord& record, Field field)
{
    const CFieldInfo& f = kFields[field];
    if (f.text)
        return record.*f.text;
    if (f.flag)
        return record.*f.flag ? QStringLiteral("Yes") : QStringLiteral("No");
    return record.date.ToStorage();
}

bool SetText(CCheckinRecord& record, Field field, const QString& text)
{
    const CFieldInfo& f = kFields[field];
    if (f.text) {
        record.*f.text = text;
        return true;
    }
    if (f.flag) {
        const QString t = text.trimmed().toLower();
        if (t != QLatin1String("yes") && t != QLatin1String("no"))
            return false;
        record.*f.flag = t == QLatin1String("yes");
        return true;
    }
    const CDateTime d = CDateTime::FromStorage(text.trimmed(), false);
    if (!d.IsValid())
        return false;
    record.date = d;
    return true;
}

bool Same(const CCheckinRecord& a, const CCheckinRecord& b, Field field)
{
    const CFieldInfo& f = kFields[field];
    if (f.text)
        return a.*f.text == b.*f.text;
    if (f.flag)
        return a.*f.flag == b.*f.flag;
    return a.date == b.date;
}

void Copy(CCheckinRecord& to, const CCheckinRecord& from, Field field)
{
    const CFieldInfo& f = kFields[field];
    if (f.text)
        to.*f.text = from.*f.text;
    else if (f.flag)
        to.*f.flag = from.*f.flag;
    else
        to.date = from.date;
}

bool SameValues(const CCheckinRecord& a, const CCheckinRecord& b)
{
    for (int i = 0; i < kCount; ++i)
        if (!Same(a, b, Field(i)))
            return false;
    return true;
}

QByteArray ToJson(const CCheckinRecord& record)
{
    QJsonObject o;
    for (int i = 0; i < kCount; ++i) {
        const CFieldInfo& f = kFields[i];
        if (f.text)
            o.insert(QLatin1String(f.key), record.*f.text);
        else if (f.flag)
            o.insert(QLatin1String(f.key), record.*f.flag);
        else
            o.insert(QLatin1String(f.key), record.date.ToStorage());
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

CCheckinRecord FromJson(const QByteArray& json)
{
    CCheckinRecord r;
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    for (int i = 0; i < kCount; ++i) {
        const CFieldInfo& f = kFields[i];
        const QJsonValue v = o.value(QLatin1String(f.key));
        if (f.text)
            r.*f.text = v.toString();
        else if (f.flag)
            r.*f.flag = v.toBool();
        else
            r.date = CDateTime::FromStorage(v.toString(), v.toString().isEmpty());
    }
    return r;
}

QByteArray ConflictToJson(const CCheckinRecord& theirs, const QList<Field>& fields)
{
    QJsonObject o = QJsonDocument::fromJson(ToJson(theirs)).object();
    QJsonArray keys;
    for (const Field f : fields)
        keys.append(QLatin1String(kFields[f].key));
    o.insert(QLatin1String("conflicts"), keys);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QList<Field> ConflictFields(const QByteArray& json)
{
    QList<Field> fields;
    const QJsonArray keys =
        QJsonDocument::fromJson(json).object().value(QLatin1String("conflicts")).toArray();
    for (int i = 0; i < kCount; ++i)
        if (keys.contains(QLatin1String(kFields[i].key)))
            fields << Field(i);
    return fields;
}

CMerge Merge(const CCheckinRecord& base, const CCheckinRecord& mine, const CCheckinRecord& theirs)
{
    CMerge m{mine, {}};
    for (int i = 0; i < kCount; ++i) {
        const Field f = Field(i);
        if (Same(mine, theirs, f) || Same(base, theirs, f))
            continue; // agreed, or only mine changed it
        if (Same(base, mine, f))
            Copy(m.merged, theirs, f); // only theirs changed it
        else
            m.conflicts << f;
    }
    return m;
}

} // namespace SharedFields
