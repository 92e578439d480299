#pragma once

#include <QWidget>

class CLogwardenDoc;
class QBoxLayout;
class QPushButton;

// The row of look-up buttons under the entry: "&Local Look Up" and "Pull from FCC [F7]" fill the form
// from the FCC licence database, "&FCC Lookup" and "&QRZ Lookup" open the station's pages in the browser.
// Other look-ups (the callbook) add their buttons to Row().
class CLookupPanel : public QWidget
{
    Q_OBJECT
public:
    CLookupPanel(CLogwardenDoc& doc, QWidget* parent = nullptr);

    QBoxLayout* Row() const { return m_row; }

    // F7. Quietly (F1-F3 with too few matches), a failure goes to the status bar, not to a message box.
    void OnLocalLookUp(bool quietly = false);
    void OnFccLookup();
    void OnQrzLookup();

Q_SIGNALS:
    void status(const QString& text);

private:
    CLogwardenDoc& m_doc;
    QBoxLayout* m_row = nullptr;
};
