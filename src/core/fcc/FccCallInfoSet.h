#pragma once

#include "core/fcc/FccAmSet.h"

// The AM table as the local look-up reads it: the operator class of a licence. Same columns as
// CFCCAMSet; the look-up gives it the connection of the EN set so that both read the same file.
class CCallInfoSet : public CFCCAMSet
{
public:
    using CFCCAMSet::CFCCAMSet;
};
