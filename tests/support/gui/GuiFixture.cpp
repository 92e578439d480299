#include "support/gui/GuiFixture.h"

#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"

#include <QApplication>
#include <QDir>
#include <QtTest>

namespace TestSupport {

CGuiFixture::CGuiFixture(const QDateTime& now, bool show)
    : m_previousDir(QDir::currentPath()), m_clock(now), m_show(show)
{
    QDir::setCurrent(m_scratch.Path());
    m_settings =
        std::make_unique<CSettings>(m_scratch.File(QStringLiteral("config/Logwarden.ini")), m_scratch.Path());
    Restart();
}

CGuiFixture::~CGuiFixture()
{
    m_frame.reset();
    m_doc.reset();
    QDir::setCurrent(m_previousDir);
}

CDatabase& CGuiFixture::Db()
{
    return m_doc->Store().Database();
}

void CGuiFixture::Restart()
{
    if (m_frame)
        m_frame->close();
    m_frame.reset();
    m_doc = std::make_unique<CLogwardenDoc>(*m_settings, m_clock, m_secrets);
    m_doc->OpenLog(m_scratch.File(QString::fromLatin1(LogSchema::kFileName)));
    m_frame = std::make_unique<CMainFrame>(*m_doc);
    if (m_show) {
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    }
}

void CGuiFixture::Focus(QWidget* widget)
{
    QApplication::setActiveWindow(m_frame.get());
    widget->setFocus();
}

} // namespace TestSupport
