#pragma once

#define LOGWARDEN_TITLE "Logwarden"
#ifndef LOGWARDEN_VERSION
#define LOGWARDEN_VERSION "1.0.0"
#endif
