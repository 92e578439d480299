#include "core/db/Recordset.h"

#include "core/Exceptions.h"
#include "core/db/Database.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>

namespace {

const QString kNoCurrentRecord = QStringLiteral("No current record.");

template <class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
// Spelled out for compilers without aggregate deduction (clang 14, which builds the fuzz targets).
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

void BindParam(SQLite::Statement& stmt, int index, const QVariant& value)
{
    if (value.isNull()) {
        stmt.bind(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        stmt.bind(index, static_cast<int64_t>(value.toLongLong()));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        stmt.bind(index, value.toDouble());
        break;
    default:
        stmt.bind(index, value.toString().toStdString());
        break;
    }
}

} // namespace

void BindFilter(SQLite::Statement& stmt, const CQueryFilter& filter)
{
    for (int i = 0; i < filter.params.size(); ++i)
        BindParam(stmt, i + 1, filter.params[i]);
}

CRecordset::CRecordset(CDatabase* database) : m_database(database) {}

CRecordset::~CRecordset() = default;

void CRecordset::BindField(const char* column, FieldPointer member, int flags)
{
    m_bindings.push_back({QString::fromLatin1(column), member, flags});
}

void CRecordset::SetFieldsToDefaults()
{
    for (auto& b : m_bindings) {
        std::visit(Overloaded{[](QString* p) { p->clear(); }, [](CDateTime* p) { *p = CDateTime(); },
                              [](bool* p) { *p = false; }, [](auto* p) { *p = 0; }},
                   b.member);
    }
}

CDatabase& CRecordset::GetDatabase()
{
    if (!m_database) {
        const QString path = m_strDBPath.isEmpty() ? GetDefaultDBName() : m_strDBPath;
        m_ownDatabase = std::make_unique<CDatabase>(path, CDatabase::ReadWrite);
        m_database = m_ownDatabase.get();
    }
    return *m_database;
}

void CRecordset::Raise(const std::exception& e) const
{
    if (const auto* ours = dynamic_cast<const CLogwardenException*>(&e))
        throw CDBException(ours->Message());
    if (m_database)
        m_database->Raise(e);
    throw CDBException(QString::fromUtf8(e.what()));
}

std::vector<qint64> CRecordset::FetchKeys()
{
    QString sql = QStringLiteral("SELECT rowid FROM \"%1\"").arg(GetDefaultSQL());
    if (!m_filter.IsEmpty())
        sql += QStringLiteral(" WHERE ") + m_filter.where;
    if (!m_strSort.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + m_strSort;
    std::vector<qint64> keys;
    SQLite::Statement stmt(GetDatabase().Handle(), sql.toStdString());
    BindFilter(stmt, m_filter);
    while (stmt.executeStep())
        keys.push_back(stmt.getColumn(0).getInt64());
    return keys;
}

void CRecordset::Open(OpenType type)
{
    if (m_open)
        Close();
    m_type = type;
    try {
        GetDatabase();
        QStringList columns;
        for (const auto& b : m_bindings)
            columns << QLatin1Char('"') + b.column + QLatin1Char('"');
        const QString sql = QStringLiteral("SELECT %1 FROM \"%2\" WHERE rowid=?")
                                .arg(columns.join(QLatin1Char(',')), GetDefaultSQL());
        m_loadStmt = std::make_unique<SQLite::Statement>(m_database->Handle(), sql.toStdString());
        m_open = true;
        Load();
    } catch (const std::exception& e) {
        m_loadStmt.reset();
        m_open = false;
        Raise(e);
    }
}

void CRecordset::Requery()
{
    if (!m_open)
        throw CDBException(QStringLiteral("Object is closed."));
    try {
        Load();
    } catch (const std::exception& e) {
        Raise(e);
    }
}

void CRecordset::Load()
{
    m_editMode = noEdit;
    m_currentDeleted = false;
    m_keys = FetchKeys();
    m_pos = m_keys.empty() ? -1 : 0;
    if (!m_keys.empty())
        LoadCurrent();
    else
        SetFieldsToDefaults();
}

void CRecordset::Close()
{
    m_loadStmt.reset();
    m_insertStmt.reset();
    m_keys.clear();
    m_pos = -1;
    m_open = false;
    m_editMode = noEdit;
    m_currentDeleted = false;
    if (m_ownDatabase) {
        m_ownDatabase.reset();
        m_database = nullptr;
    }
}

void CRecordset::LoadCurrent()
{
    m_currentDeleted = false;
    for (auto& b : m_bindings)
        b.dirty = false;
    SQLite::Statement& stmt = *m_loadStmt;
    stmt.reset();
    stmt.bind(1, static_cast<int64_t>(m_keys[static_cast<size_t>(m_pos)]));
    if (!stmt.executeStep()) {
        // Deleted by another set since this one was opened: show it as an empty record.
        SetFieldsToDefaults();
        stmt.reset();
        return;
    }
    for (size_t i = 0; i < m_bindings.size(); ++i) {
        const SQLite::Column col = stmt.getColumn(static_cast<int>(i));
        std::visit(Overloaded{
                       [&](int* p) { *p = col.getInt(); },
                       [&](qint64* p) { *p = col.getInt64(); },
                       [&](float* p) { *p = static_cast<float>(col.getDouble()); },
                       [&](double* p) { *p = col.getDouble(); },
                       [&](bool* p) { *p = col.getInt() != 0; },
                       [&](QString* p) { *p = col.isNull() ? QString() : QString::fromUtf8(col.getText()); },
                       [&](CDateTime* p) {
                           *p = CDateTime::FromStorage(QString::fromUtf8(col.getText()), col.isNull());
                       },
                   },
                   m_bindings[i].member);
    }
    stmt.reset();
}

void CRecordset::DropDeletedCurrent()
{
    if (!m_currentDeleted)
        return;
    m_keys.erase(m_keys.begin() + m_pos);
    m_currentDeleted = false;
}

bool CRecordset::IsEOF() const
{
    return m_keys.empty() || m_pos >= static_cast<long>(m_keys.size());
}

bool CRecordset::IsBOF() const
{
    return m_keys.empty() || m_pos < 0;
}

void CRecordset::RequireCurrent() const
{
    if (!m_open || m_pos < 0 || m_pos >= static_cast<long>(m_keys.size()) || m_currentDeleted)
        throw CDBException(kNoCurrentRecord);
}

void CRecordset::Move(Step step, long position)
{
    if (!m_open)
        throw CDBException(QStringLiteral("Object is closed."));
    if ((step == Step::Next && IsEOF()) || (step == Step::Prev && IsBOF()))
        throw CDBException(kNoCurrentRecord);
    // The record after a deleted current one has already moved into its place.
    const bool nextInPlace = step == Step::Next && m_currentDeleted;
    DropDeletedCurrent();
    const long count = static_cast<long>(m_keys.size());
    switch (step) {
    case Step::First:
        position = 0;
        break;
    case Step::Last:
        position = count - 1;
        break;
    case Step::Next:
        position = nextInPlace ? m_pos : m_pos + 1;
        break;
    case Step::Prev:
        position = m_pos - 1;
        break;
    case Step::To:
        break;
    }
    // A step may leave the set at either end; a jump must land on a record.
    const bool oneStep = step == Step::Next || step == Step::Prev;
    if (!oneStep && (position < 0 || position >= count))
        throw CDBException(kNoCurrentRecord);
    m_editMode = noEdit;
    m_pos = std::clamp(position, -1L, count);
    if (m_pos < 0 || m_pos >= count)
        return;
    try {
        LoadCurrent();
    } catch (const std::exception& e) {
        Raise(e);
    }
}

void CRecordset::MoveFirst()
{
    Move(Step::First);
}

void CRecordset::MoveLast()
{
    Move(Step::Last);
}

void CRecordset::MoveNext()
{
    Move(Step::Next);
}

void CRecordset::MovePrev()
{
    Move(Step::Prev);
}

long CRecordset::GetAbsolutePosition() const
{
    if (m_pos < 0 || m_pos >= static_cast<long>(m_keys.size()))
        return -1;
    return m_pos;
}

void CRecordset::SetAbsolutePosition(long position)
{
    Move(Step::To, position);
}

long CRecordset::GetRecordCount() const
{
    return static_cast<long>(m_keys.size()) - (m_currentDeleted ? 1 : 0);
}

qint64 CRecordset::GetCurrentKey() const
{
    if (m_currentDeleted || GetAbsolutePosition() < 0)
        return 0;
    return m_keys[static_cast<size_t>(m_pos)];
}

bool CRecordset::MoveToKey(qint64 key)
{
    DropDeletedCurrent();
    for (size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i] == key) {
            SetAbsolutePosition(static_cast<long>(i));
            return true;
        }
    }
    return false;
}

void CRecordset::RequireUpdatable() const
{
    if (!m_open)
        throw CDBException(QStringLiteral("Object is closed."));
    if (m_type != dynaset)
        throw CDBException(QStringLiteral("Cannot update. Database or object is read-only."));
}

CRecordset::FieldValue CRecordset::Capture(const Binding& b) const
{
    return std::visit([](auto* p) -> FieldValue { return *p; }, b.member);
}

void CRecordset::AddNew()
{
    RequireUpdatable();
    m_editMode = addNew;
    SetFieldsToDefaults();
    m_original.clear();
    for (auto& b : m_bindings) {
        b.dirty = false;
        m_original.push_back(Capture(b));
    }
}

void CRecordset::Edit()
{
    RequireUpdatable();
    RequireCurrent();
    m_editMode = edit;
    m_original.clear();
    for (auto& b : m_bindings) {
        b.dirty = false;
        m_original.push_back(Capture(b));
    }
}

void CRecordset::SetFieldDirty(const void* member, bool dirty)
{
    for (auto& b : m_bindings) {
        if (std::visit([&](auto* p) { return static_cast<const void*>(p) == member; }, b.member))
            b.dirty = dirty;
    }
}

void CRecordset::CancelUpdate()
{
    if (m_editMode == noEdit)
        return;
    m_editMode = noEdit;
    if (GetAbsolutePosition() >= 0 && !m_currentDeleted)
        LoadCurrent();
}

void CRecordset::BindValue(SQLite::Statement& stmt, int index, const Binding& b) const
{
    std::visit(Overloaded{
                   [&](const int* p) { stmt.bind(index, *p); },
                   [&](const qint64* p) { stmt.bind(index, static_cast<int64_t>(*p)); },
                   [&](const float* p) { stmt.bind(index, static_cast<double>(*p)); },
                   [&](const double* p) { stmt.bind(index, *p); },
                   [&](const bool* p) { stmt.bind(index, *p ? 1 : 0); },
                   [&](const QString* p) {
                       if (p->isEmpty() && (b.flags & EmptyIsNull))
                           stmt.bind(index);
                       else
                           stmt.bind(index, p->toStdString());
                   },
                   [&](const CDateTime* p) {
                       if (p->IsNull())
                           stmt.bind(index);
                       else
                           stmt.bind(index, p->ToStorage().toStdString());
                   },
               },
               b.member);
}

void CRecordset::Update()
{
    if (m_editMode == noEdit)
        throw CDBException(QStringLiteral("Update without AddNew or Edit."));
    std::vector<const Binding*> changed;
    for (size_t i = 0; i < m_bindings.size(); ++i) {
        const Binding& b = m_bindings[i];
        if (b.flags & AutoNumber)
            continue;
        // A new record gets every field; an edited one only those that changed or were marked.
        if (m_editMode == addNew || b.dirty || Capture(b) != m_original[i])
            changed.push_back(&b);
    }
    const EditMode mode = m_editMode;
    try {
        SQLite::Database& db = GetDatabase().Handle();
        if (mode == addNew) {
            // A new record gets every field, so the statement is the same each time: prepared once.
            if (!m_insertStmt) {
                QStringList cols, marks;
                for (const Binding* b : changed) {
                    cols << QLatin1Char('"') + b->column + QLatin1Char('"');
                    marks << QStringLiteral("?");
                }
                const QString sql =
                    cols.isEmpty() ? QStringLiteral("INSERT INTO \"%1\" DEFAULT VALUES").arg(GetDefaultSQL())
                                   : QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                         .arg(GetDefaultSQL(), cols.join(QLatin1Char(',')),
                                              marks.join(QLatin1Char(',')));
                m_insertStmt = std::make_unique<SQLite::Statement>(db, sql.toStdString());
            }
            SQLite::Statement& stmt = *m_insertStmt;
            stmt.reset();
            stmt.clearBindings();
            for (size_t i = 0; i < changed.size(); ++i)
                BindValue(stmt, static_cast<int>(i) + 1, *changed[i]);
            stmt.exec();
            stmt.reset();
            m_lastInserted = db.getLastInsertRowid();
            // A record added through the set belongs to it, at its end, until the next requery.
            const bool wasPastEnd = !m_keys.empty() && m_pos >= static_cast<long>(m_keys.size());
            m_keys.push_back(m_lastInserted);
            if (wasPastEnd)
                m_pos = static_cast<long>(m_keys.size());
        } else if (!changed.empty()) {
            QStringList sets;
            for (const Binding* b : changed)
                sets << QLatin1Char('"') + b->column + QStringLiteral("\"=?");
            const QString sql = QStringLiteral("UPDATE \"%1\" SET %2 WHERE rowid=?")
                                    .arg(GetDefaultSQL(), sets.join(QLatin1Char(',')));
            SQLite::Statement stmt(db, sql.toStdString());
            for (size_t i = 0; i < changed.size(); ++i)
                BindValue(stmt, static_cast<int>(i) + 1, *changed[i]);
            stmt.bind(static_cast<int>(changed.size()) + 1, static_cast<int64_t>(GetCurrentKey()));
            stmt.exec();
        }
    } catch (const std::exception& e) {
        Raise(e);
    }
    m_editMode = noEdit;
    // After an update the buffer shows the current record as stored (the record that was current
    // before AddNew, when there was one).
    if (GetAbsolutePosition() >= 0 && !m_currentDeleted) {
        try {
            LoadCurrent();
        } catch (const std::exception& e) {
            Raise(e);
        }
    }
}

void CRecordset::Delete()
{
    RequireUpdatable();
    RequireCurrent();
    try {
        SQLite::Statement stmt(
            GetDatabase().Handle(),
            QStringLiteral("DELETE FROM \"%1\" WHERE rowid=?").arg(GetDefaultSQL()).toStdString());
        stmt.bind(1, static_cast<int64_t>(GetCurrentKey()));
        stmt.exec();
    } catch (const std::exception& e) {
        Raise(e);
    }
    m_editMode = noEdit;
    m_currentDeleted = true; // stays on the deleted record until the next move
}
