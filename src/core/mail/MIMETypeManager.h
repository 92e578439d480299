#pragma once

#include "core/mail/MIMEContentAgent.h"

#include <memory>
#include <mutex>
#include <vector>

// The agents by content type. A list starts with the text and attachment agents; whoever builds messages
// (a blast, a test) makes one and hands it to each message, so the list does not grow per message. A
// lookup returns the first agent of the type.
class CMIMETypeManager
{
public:
    CMIMETypeManager();
    CMIMETypeManager(const CMIMETypeManager&) = delete;
    CMIMETypeManager& operator=(const CMIMETypeManager&) = delete;

    void RegisterType(std::unique_ptr<CMIMEContentAgent> agent);
    // Null when no agent handles the type.
    const CMIMEContentAgent* GetHandler(int type) const;
    int GetCount() const;

private:
    mutable std::mutex m_lock;
    std::vector<std::unique_ptr<CMIMEContentAgent>> m_agents;
};
