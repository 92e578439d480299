#pragma once

#include "core/fcc/FccDbInfo.h"

#include <QDialog>
#include <functional>
#include <memory>

class CBackgroundJob;
class CWebRequest;
class CSettings;
class QLabel;
class QPushButton;

// "FCC Database Dialog": the available licence archive against the one on disk, a window over CFCCDbInfo.
// In its FCC form "Check FCC Website" reads the FCC's weekly-transactions page off the window's thread
// (the dialog stays live and Cancel stops it) and shows both texts, with the reason when one stays
// "Unknown". In its QRZ form (Info().SetQrzForm() before it is shown) the button runs the check the
// opener set with SetQrzCheck(), and the texts stay "Unknown". The FCC form also shows what the licence
// database holds: the weekly it was built from and the last daily file applied.
class CFCCDbInfoDlg : public QDialog
{
    Q_OBJECT
public:
    CFCCDbInfoDlg(CSettings& settings, QWidget* parent = nullptr);
    ~CFCCDbInfoDlg() override;

    CFCCDbInfo& Info() { return m_info; }
    void SetQrzCheck(std::function<void(CFCCDbInfoDlg& dlg)> check) { m_qrzCheck = std::move(check); }

    // The line under the two texts: why a text stays "Unknown", or what the QRZ check did.
    void ShowReason(const QString& text);
    // While a check runs its button is disabled.
    void SetChecking(bool on);
    bool IsChecking() const;
    QPushButton* CheckButton() const { return m_check; }
    QString AvailableText() const;
    QString CurrentText() const;
    QString ReasonText() const;
    // FCC form: the weekly the licence database was built from, and the last daily file applied to it.
    QString WeeklyText() const;
    QString DailyText() const;

    // The button.
    void OnCheck();

Q_SIGNALS:
    // A check ended and its texts are shown.
    void checked();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void ShowTexts();
    void OnFccCheckFinished();

    CSettings& m_settings;
    CFCCDbInfo m_info;
    bool m_initialised = false;
    QLabel* m_availableLabel = nullptr;
    QLabel* m_available = nullptr;
    QLabel* m_currentLabel = nullptr;
    QLabel* m_current = nullptr;
    QLabel* m_reason = nullptr;
    QLabel* m_weeklyLabel = nullptr;
    QLabel* m_weekly = nullptr;
    QLabel* m_dailyLabel = nullptr;
    QLabel* m_daily = nullptr;
    QPushButton* m_check = nullptr;
    CBackgroundJob* m_job = nullptr;
    std::shared_ptr<CWebRequest> m_http;
    std::shared_ptr<CFCCDbInfo::CFccCheck> m_result;
    std::function<void(CFCCDbInfoDlg& dlg)> m_qrzCheck;
};
