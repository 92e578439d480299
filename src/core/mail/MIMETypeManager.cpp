#include "core/mail/MIMETypeManager.h"

#include "core/mail/AppOctetStream.h"
#include "core/mail/TextPlain.h"

CMIMETypeManager::CMIMETypeManager()
{
    m_agents.push_back(std::make_unique<CTextPlain>(76));
    m_agents.push_back(std::make_unique<CAppOctetStream>());
}

void CMIMETypeManager::RegisterType(std::unique_ptr<CMIMEContentAgent> agent)
{
    const std::lock_guard lock(m_lock);
    m_agents.push_back(std::move(agent));
}

const CMIMEContentAgent* CMIMETypeManager::GetHandler(int type) const
{
    const std::lock_guard lock(m_lock);
    for (const auto& agent : m_agents) {
        if (agent->GetType() == type)
            return agent.get();
    }
    return nullptr;
}

int CMIMETypeManager::GetCount() const
{
    const std::lock_guard lock(m_lock);
    return static_cast<int>(m_agents.size());
}
