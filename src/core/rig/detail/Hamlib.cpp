#include "core/rig/detail/Hamlib.h"

#include <hamlib/rig.h>

namespace Hamlib {

std::mutex& GlobalLock()
{
    static std::mutex lock;
    return lock;
}

namespace {

// Hamlib keeps its own debug lines in a buffer and may still hand them to a callback: nobody asks for them.
int Silent(enum rig_debug_level_e, rig_ptr_t, const char*, va_list)
{
    return 0;
}

void SetUpLocked()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    rig_set_debug(RIG_DEBUG_NONE);
    rig_set_debug_callback(&Silent, nullptr);
    rig_load_all_backends();
}

} // namespace

void SetUp()
{
    std::lock_guard lock(GlobalLock());
    SetUpLocked();
}

bool HasModel(int model)
{
    std::lock_guard lock(GlobalLock());
    SetUpLocked();
    return rig_get_caps(static_cast<rig_model_t>(model)) != nullptr;
}

QString ErrorText(int code)
{
    std::lock_guard lock(GlobalLock());
    SetUpLocked();
    // rigerror() would add Hamlib's saved debug lines; rigerror2() is the code's own text.
    return QString::fromLocal8Bit(rigerror2(code)).trimmed();
}

} // namespace Hamlib
