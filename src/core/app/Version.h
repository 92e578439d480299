#pragma once

#define LOGWARDEN_TITLE "Logwarden"
#ifndef LOGWARDEN_VERSION
#define LOGWARDEN_VERSION "1.1.0"
#endif
