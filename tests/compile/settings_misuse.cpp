// Uses of the typed setting keys. CASE 0 is the right use and must build; every other case misuses a key
// on the line marked "misuse N" and must fail to compile there (ExpectCompileErrors.cmake checks).
#include "core/app/Settings.h"

int Use(CSettings& settings)
{
#if CASE == 0
    const int width = settings.Get(Setting::WindowWidth);
    const QString grid = settings.Get(Setting::MyGrid);
    const bool maximized = settings.Get(Setting::WindowMaximized);
    const qint64 most = settings.Get(Setting::DownloadMaxBytes);
    settings.Set(Setting::WindowWidth, width + 1);
    settings.Set(Setting::NetConTO, 2500);
    settings.Set(Setting::WindowMaximized, !maximized);
    settings.Set(Setting::MyGrid, grid);
    settings.Set(Setting::CaptureDevice, "default");
    settings.Set(Setting::DownloadMaxBytes, most);
    return width;
#elif CASE == 1
    const QString width = settings.Get(Setting::WindowWidth); // misuse 1
    return width.size();
#elif CASE == 2
    const int grid = settings.Get(Setting::MyGrid); // misuse 2
    return grid;
#elif CASE == 3
    settings.Set(Setting::WindowMaximized, 1); // misuse 3
    return 0;
#elif CASE == 4
    settings.Set(Setting::WindowWidth, true); // misuse 4
    return 0;
#elif CASE == 5
    settings.Set(Setting::MyGrid, 5); // misuse 5
    return 0;
#elif CASE == 6
    return settings.Get<QString>(Setting::WindowWidth).size(); // misuse 6
#endif
}
