#pragma once

#include <QJsonObject>
#include <QString>

namespace TestSupport {

// The Python 3 to run helper scripts with: Debian's own (/usr/bin/python3, where python3-pyftpdlib
// installs) when present, else the first python3 on the path.
QString Python();

// Writes an archive as described (see tests/support/zipmaker.py) to recipe["out"]; fails the test when
// the script fails. Returns recipe["out"].
QString MakeZip(const QJsonObject& recipe);

} // namespace TestSupport
