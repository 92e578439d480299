#pragma once

#include <QWidget>

class CClock;
class CLogwardenDoc;
class CSettings;
struct CCommands;

// The check-in form in the right pane.
class CLogwardenView : public QWidget
{
    Q_OBJECT
public:
    CLogwardenView(CLogwardenDoc& doc, QWidget* parent = nullptr);

    // Connects the commands the form carries out and enables them.
    void ConnectCommands(CCommands& commands);
    // Runs once, when the form is first shown.
    void OnInitialUpdate();
    // The day tree selected a day ("%Y %m %d").
    void OnDaySelected(const QString& dayText);
    // F4: focus the call-sign box and select its text.
    void OnGoHome();

Q_SIGNALS:
    // A message for the first pane of the status bar.
    void statusText(const QString& text);

private:
    CLogwardenDoc& m_doc;
};
