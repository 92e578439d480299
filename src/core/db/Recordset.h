#pragma once

#include "core/db/DateTime.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <variant>
#include <vector>

class CDatabase;
namespace SQLite {
class Statement;
}

// A WHERE condition with '?' placeholders and the values bound to them. Conditions are built only by
// typed constructors in the code (see LogFilter.h), never from text the user typed.
struct CQueryFilter
{
    QString where;
    QVariantList params;
    bool IsEmpty() const { return where.isEmpty(); }
};

// Binds the filter's values to the statement's first placeholders, for queries built on a filter.
void BindFilter(SQLite::Statement& stmt, const CQueryFilter& filter);

// A cursor over one table with the semantics the program's logic relies on: a filter and a sort applied
// by Open and Requery, a current record with moves, absolute positions, record counts, and buffered
// edits (AddNew/Edit/Update) that write only the fields that changed.
//
// The set's membership is fixed when it is opened or requeried (a key set, ordered by the sort);
// records added through the set are appended to it, records deleted through it leave it at the next
// move. Field values are read from the table each time the cursor lands on a record.
class CRecordset
{
public:
    enum OpenType
    {
        dynaset,
        snapshot
    };

    // With a database the set shares its connection; without one, Open connects to the file named by
    // GetDefaultDBName() (or the path given to SetDatabasePath) and the set owns that connection.
    explicit CRecordset(CDatabase* database = nullptr);
    virtual ~CRecordset();
    CRecordset(const CRecordset&) = delete;
    CRecordset& operator=(const CRecordset&) = delete;

    virtual QString GetDefaultDBName() const = 0;
    virtual QString GetDefaultSQL() const = 0; // the table name

    void SetDatabasePath(const QString& path) { m_strDBPath = path; }
    const QString& GetDatabasePath() const { return m_strDBPath; }

    void SetFilter(const CQueryFilter& filter) { m_filter = filter; }
    const CQueryFilter& GetFilter() const { return m_filter; }
    // An ORDER BY clause without the keywords; empty means the table's own order.
    void SetSort(const QString& orderBy) { m_strSort = orderBy; }
    const QString& GetSort() const { return m_strSort; }

    void Open(OpenType type = dynaset);
    void Requery();
    void Close();
    bool IsOpen() const { return m_open; }
    bool CanUpdate() const { return m_open && m_type == dynaset; }

    bool IsEOF() const;
    bool IsBOF() const;
    void MoveFirst();
    void MoveNext();
    void MovePrev();
    void MoveLast();
    // Zero-based position of the current record in the set's order; -1 without a current record.
    long GetAbsolutePosition() const;
    void SetAbsolutePosition(long position);
    long GetRecordCount() const;
    // The key (rowid) of the current record, 0 without one.
    qint64 GetCurrentKey() const;
    // Moves to the record with the key; false (and no move) when the set does not hold it.
    bool MoveToKey(qint64 key);

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();
    bool IsEditing() const { return m_editMode != noEdit; }
    // The next Update writes this field even when its value did not change. The argument is the
    // address of a bound member.
    void SetFieldDirty(const void* member, bool dirty = true);
    qint64 GetLastInsertedKey() const { return m_lastInserted; }

    CDatabase& GetDatabase();

protected:
    using FieldPointer = std::variant<int*, qint64*, float*, double*, bool*, QString*, CDateTime*>;
    using FieldValue = std::variant<int, qint64, float, double, bool, QString, CDateTime>;

    enum FieldFlags
    {
        None = 0,
        EmptyIsNull = 1,
        AutoNumber = 2
    };
    // Derived classes bind their members to the table's columns, in column order, in their constructor.
    void BindField(const char* column, FieldPointer member, int flags = None);
    virtual void SetFieldsToDefaults();

private:
    struct Binding
    {
        QString column;
        FieldPointer member;
        int flags;
        bool dirty = false;
    };
    enum EditMode
    {
        noEdit,
        addNew,
        edit
    };

    enum class Step
    {
        First,
        Last,
        Next,
        Prev,
        To, // an absolute position
    };

    void Load();
    void LoadCurrent();
    // Every move of the cursor; position only for Step::To.
    void Move(Step step, long position = -1);
    void DropDeletedCurrent();
    void RequireCurrent() const;
    void RequireUpdatable() const;
    FieldValue Capture(const Binding& b) const;
    void BindValue(SQLite::Statement& stmt, int index, const Binding& b) const;
    std::vector<qint64> FetchKeys();
    [[noreturn]] void Raise(const std::exception& e) const;

    CDatabase* m_database = nullptr;
    std::unique_ptr<CDatabase> m_ownDatabase;
    QString m_strDBPath;
    CQueryFilter m_filter;
    QString m_strSort;
    OpenType m_type = dynaset;
    bool m_open = false;

    std::vector<Binding> m_bindings;
    std::vector<qint64> m_keys;
    long m_pos = -1; // -1 before the first record, m_keys.size() past the last
    bool m_currentDeleted = false;
    EditMode m_editMode = noEdit;
    std::vector<FieldValue> m_original;
    qint64 m_lastInserted = 0;
    std::unique_ptr<SQLite::Statement> m_loadStmt;
    std::unique_ptr<SQLite::Statement> m_insertStmt; // the INSERT of AddNew, kept for the next one
};
