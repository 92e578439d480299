#pragma once

#include "core/mail/MIMEContentAgent.h"

#include <memory>
#include <mutex>
#include <vector>

// The agents by content type, one list for the process. The text and attachment agents are registered
// once, when the list is first used; a lookup returns the first agent of the type.
class CMIMETypeManager
{
public:
    static CMIMETypeManager& Instance();

    void RegisterType(std::unique_ptr<CMIMEContentAgent> agent);
    // Null when no agent handles the type.
    const CMIMEContentAgent* GetHandler(int type) const;
    int GetCount() const;

private:
    CMIMETypeManager();

    mutable std::mutex m_lock;
    std::vector<std::unique_ptr<CMIMEContentAgent>> m_agents;
};
