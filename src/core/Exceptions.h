#pragma once

#include <QString>
#include <exception>
#include <string>

// Errors the core raises. The GUI catches them at the command boundary and shows the message;
// the window stays usable afterwards.
class CLogwardenException : public std::exception
{
public:
    explicit CLogwardenException(QString message);
    const QString& Message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_message;
    std::string m_utf8;
};

// A failure of the database engine (missing table, a value that does not fit, moving in an empty set...).
class CDBException : public CLogwardenException
{
public:
    using CLogwardenException::CLogwardenException;
};

// Another program holds the database beyond the wait (SQLITE_BUSY): the same write may go through later.
class CDBBusyException : public CDBException
{
public:
    using CDBException::CDBException;
};

// A file that cannot be opened, created, read or written.
class CFileException : public CLogwardenException
{
public:
    CFileException(QString message, QString path);
    const QString& Path() const { return m_path; }

private:
    QString m_path;
};

// A network transfer that failed (connection, protocol, time-out).
class CNetException : public CLogwardenException
{
public:
    using CLogwardenException::CLogwardenException;
};
