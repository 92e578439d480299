#include "core/Exceptions.h"

#include <utility>

CLogwardenException::CLogwardenException(QString message)
    : m_message(std::move(message)), m_utf8(m_message.toStdString())
{
}

CFileException::CFileException(QString message, QString path)
    : CLogwardenException(std::move(message)), m_path(std::move(path))
{
}
