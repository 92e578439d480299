#include "core/zip/ZipException.h"

#include <utility>
#include <zlib.h>

CZipException::CZipException(int cause, QString archivePath, QString detail)
    : CLogwardenException(Compose(cause, archivePath, detail)), m_cause(cause),
      m_path(std::move(archivePath)), m_detail(std::move(detail))
{
}

int CZipException::FromInternal(int code)
{
    switch (code) {
    case kBadZipFile:
        return badZipFile;
    case kBadCrc:
        return badCrc;
    case kNoCallback:
        return noCallback;
    case kAborted:
        return aborted;
    case kNonRemovable:
        return nonRemovable;
    case kTooManyVolumes:
        return tooManyVolumes;
    case kTooLongFileName:
        return tooLongFileName;
    case Z_STREAM_END:
        return streamEnd;
    case Z_NEED_DICT:
        return needDict;
    case Z_ERRNO:
        return errNo;
    case Z_STREAM_ERROR:
        return streamError;
    case Z_DATA_ERROR:
        return dataError;
    case Z_MEM_ERROR:
        return memError;
    case Z_BUF_ERROR:
        return bufError;
    case Z_VERSION_ERROR:
        return versionError;
    default:
        return generic;
    }
}

CZipException CZipException::FromZlib(int zlibCode, const QString& archivePath, const QString& entryName)
{
    QString what;
    switch (zlibCode) {
    case Z_DATA_ERROR:
        what = QStringLiteral("the compressed data is corrupt");
        break;
    case Z_MEM_ERROR:
        what = QStringLiteral("out of memory");
        break;
    case Z_NEED_DICT:
        what = QStringLiteral("the compressed data needs a preset dictionary");
        break;
    case Z_BUF_ERROR:
        what = QStringLiteral("the compressed data ends too early");
        break;
    case Z_VERSION_ERROR:
        what = QStringLiteral("the zlib library is incompatible");
        break;
    default:
        what = QStringLiteral("zlib error %1").arg(zlibCode);
        break;
    }
    return CZipException(FromInternal(zlibCode), archivePath,
                         QStringLiteral("cannot inflate \"%1\": %2").arg(entryName, what));
}

QString CZipException::Compose(int cause, const QString& path, const QString& detail)
{
    QString text;
    switch (cause) {
    case badZipFile:
        text = QStringLiteral("The archive \"%1\" is damaged or not a supported ZIP archive").arg(path);
        break;
    case badCrc:
        text = QStringLiteral("The archive \"%1\" is damaged: CRC mismatch").arg(path);
        break;
    case noCallback:
    case nonRemovable:
    case tooManyVolumes:
        text = QStringLiteral("The archive \"%1\" spans several volumes, which is not supported").arg(path);
        break;
    case streamEnd:
    case needDict:
    case streamError:
    case dataError:
    case bufError:
        text = QStringLiteral("The archive \"%1\" is damaged").arg(path);
        break;
    default:
        text = QStringLiteral("The archive \"%1\" cannot be read (cause %2)").arg(path).arg(cause);
        break;
    }
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    return text + QLatin1Char('.');
}
