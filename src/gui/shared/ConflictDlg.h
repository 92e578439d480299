#pragma once

#include "core/log/CheckinRecord.h"
#include "core/log/SharedCheckin.h"

#include <QDialog>
#include <QList>

class QLineEdit;

// Two operators changed a field of one check-in differently: per field, the operator keeps theirs, mine,
// or types the value.
class CConflictDlg : public QDialog
{
    Q_OBJECT
public:
    // intro: what the operator decides (by default, a conflict of two changes).
    CConflictDlg(const CCheckinRecord& mine, const CCheckinRecord& theirs, QWidget* parent = nullptr,
                 const QString& intro = QString());
    // The check-in with the values chosen.
    CCheckinRecord Values() const;
    void TakeAllMine();
    void TakeAllTheirs();

    void accept() override;

private:
    CCheckinRecord m_mine;
    CCheckinRecord m_theirs;
    QList<SharedFields::Field> m_fields;
    QList<QLineEdit*> m_edits;
};
