#include "gui/log/LogwardenView.h"

#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"

#include <QVBoxLayout>

CLogwardenView::CLogwardenView(CLogwardenDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc)
{
    setObjectName(QStringLiteral("checkinForm"));
    new QVBoxLayout(this);
}

void CLogwardenView::ConnectCommands(CCommands&)
{
}

void CLogwardenView::OnInitialUpdate()
{
}

void CLogwardenView::OnDaySelected(const QString& dayText)
{
    m_doc.SetSelectedDay(dayText);
}

void CLogwardenView::OnGoHome()
{
}
