#include "core/FileErrorText.h"

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

QString FileErrorReason(int errnoValue, QFileDevice::FileError error)
{
    switch (errnoValue) {
    case 0:
        break;
    case ENOSPC:
        return u"磁盘已满"_s;
    case EDQUOT:
        return u"磁盘配额已用完"_s;
    case EACCES:
    case EPERM:
        return u"没有权限"_s;
    case EROFS:
        return u"磁盘是只读的"_s;
    case ENOENT:
        return u"文件或文件夹不存在"_s;
    case ENOTDIR:
        return u"路径中有一项不是文件夹"_s;
    case EISDIR:
        return u"这是一个文件夹"_s;
    case EEXIST:
        return u"已有同名的文件"_s;
    case ENAMETOOLONG:
        return u"文件名太长"_s;
    case EMFILE:
    case ENFILE:
        return u"打开的文件太多"_s;
    case EIO:
        return u"磁盘读写出错"_s;
    case EFBIG:
        return u"文件太大"_s;
    case EBUSY:
    case ETXTBSY:
        return u"文件正被使用"_s;
    default:
        return u"系统错误 %1 (%2)"_s.arg(errnoValue).arg(QString::fromLocal8Bit(std::strerror(errnoValue)));
    }
    switch (error) {
    case QFileDevice::PermissionsError:
        return u"没有权限"_s;
    case QFileDevice::ResourceError:
        return u"系统资源不足"_s;
    case QFileDevice::ReadError:
        return u"读取出错"_s;
    case QFileDevice::WriteError:
        return u"写入出错"_s;
    case QFileDevice::OpenError:
        return u"无法打开"_s;
    default:
        return u"原因不明"_s;
    }
}

QString FileErrorMessage(const QString& action, const QString& path, int errnoValue,
                         QFileDevice::FileError error)
{
    return u"无法%1 \"%2\"。%3。"_s.arg(action, path, FileErrorReason(errnoValue, error));
}
