#pragma once

#include <QString>
#include <mutex>

// What the rig's classes share of Hamlib. Hamlib's model list, its rig_init/rig_cleanup and its error
// texts are global state of the library: they are reached under one lock. The calls on one radio are not;
// only that radio's worker makes them.
namespace Hamlib {

std::mutex& GlobalLock();
// Once per process, under the lock: Hamlib prints nothing of its own, and every backend is registered.
void SetUp();
// Whether the model number is in Hamlib's list.
bool HasModel(int model);
// Hamlib's text for one of its error codes (negative, as its calls return them), e.g. "Communication
// timed out".
QString ErrorText(int code);

} // namespace Hamlib
