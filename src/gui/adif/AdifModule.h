#pragma once

#include "core/adif/AdifExport.h"
#include "core/adif/AdifImport.h"
#include "core/log/CheckinStore.h"

#include <QDate>
#include <QDialog>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>
#include <vector>

class CBackgroundJob;
class CLogwardenDoc;
class CMainFrame;
class CProgressTask;
class QAction;
class QDateEdit;
class QRadioButton;

// Which check-ins File > Export ADIF writes: the day shown, a range of days, or the whole log.
class CAdifExportDlg : public QDialog
{
    Q_OBJECT
public:
    CAdifExportDlg(const QDate& shownDay, QWidget* parent = nullptr);

    // The filter of the choice; empty for the whole log.
    CQueryFilter Filter() const;
    // "2024-03-07", "2024-03-01 to 2024-03-31", "all": for the file's proposed name.
    QString ScopeName() const;

    QRadioButton* DayButton() const { return m_day; }
    QRadioButton* RangeButton() const { return m_range; }
    QRadioButton* AllButton() const { return m_all; }
    QDateEdit* FromPicker() const { return m_from; }
    QDateEdit* ToPicker() const { return m_to; }

private:
    QDate m_shownDay;
    QRadioButton* m_day = nullptr;
    QRadioButton* m_range = nullptr;
    QRadioButton* m_all = nullptr;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
};

// File > Export ADIF... and File > Import ADIF...: each runs on a thread and connection of its own,
// shown in the status bar with its progress and Cancel, so that the window stays usable. One at a time.
class CAdifModule : public QObject
{
    Q_OBJECT
public:
    explicit CAdifModule(CMainFrame& frame);
    ~CAdifModule() override;
    static void Install(CMainFrame& frame);

    QAction* ExportAction() const { return m_export; }
    QAction* ImportAction() const { return m_import; }
    bool IsBusy() const;

private:
    void OnExport();
    void OnImport();
    void OnFinished();
    void Begin(const QString& name, const QString& text);
    QString Folder();

    CMainFrame& m_frame;
    CLogwardenDoc& m_doc;
    QAction* m_export = nullptr;
    QAction* m_import = nullptr;
    CBackgroundJob* m_job = nullptr;
    QPointer<CProgressTask> m_task;
    QString m_folder;
    QString m_path;
    bool m_importing = false;
    std::shared_ptr<AdifExport::CResult> m_exported;
    std::shared_ptr<AdifImport::CResult> m_imported;
    // The import goes through the document's store, on this thread, a batch at a time as the job reads
    // them; the job waits while too many are on their way.
    void TakeBatch(const std::vector<CCheckinRecord>& batch);
    std::unique_ptr<CCheckinStore::CBulkAdd> m_bulk;
    std::shared_ptr<std::atomic<int>> m_inFlight;
    QString m_bulkError;
};
