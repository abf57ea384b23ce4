#include "core/FileErrorText.h"

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

template <typename Key> struct TReason
{
    Key key;
    const char16_t* text;
};

// The system's error numbers in the program's words; several numbers share one reason.
constexpr TReason<int> kErrnoReasons[] = {
    {ENOSPC, u"磁盘已满"},
    {EDQUOT, u"磁盘配额已用完"},
    {EACCES, u"没有权限"},
    {EPERM, u"没有权限"},
    {EROFS, u"磁盘是只读的"},
    {ENOENT, u"文件或文件夹不存在"},
    {ENOTDIR, u"路径中有一项不是文件夹"},
    {EISDIR, u"这是一个文件夹"},
    {EEXIST, u"已有同名的文件"},
    {ENAMETOOLONG, u"文件名太长"},
    {EMFILE, u"打开的文件太多"},
    {ENFILE, u"打开的文件太多"},
    {EIO, u"磁盘读写出错"},
    {EFBIG, u"文件太大"},
    {EBUSY, u"文件正被使用"},
    {ETXTBSY, u"文件正被使用"},
};

// Without an error number, the device's error kind.
constexpr TReason<QFileDevice::FileError> kDeviceReasons[] = {
    {QFileDevice::PermissionsError, u"没有权限"}, {QFileDevice::ResourceError, u"系统资源不足"},
    {QFileDevice::ReadError, u"读取出错"},        {QFileDevice::WriteError, u"写入出错"},
    {QFileDevice::OpenError, u"无法打开"},
};

template <typename Key, size_t N> const char16_t* ReasonOf(const TReason<Key> (&table)[N], Key key)
{
    for (const TReason<Key>& reason : table) {
        if (reason.key == key)
            return reason.text;
    }
    return nullptr;
}

} // namespace

QString FileErrorReason(int errnoValue, QFileDevice::FileError error)
{
    if (errnoValue != 0) {
        if (const char16_t* text = ReasonOf(kErrnoReasons, errnoValue))
            return QString::fromUtf16(text);
        return u"系统错误 %1 (%2)"_s.arg(errnoValue).arg(QString::fromLocal8Bit(std::strerror(errnoValue)));
    }
    if (const char16_t* text = ReasonOf(kDeviceReasons, error))
        return QString::fromUtf16(text);
    return u"原因不明"_s;
}

QString FileErrorMessage(const QString& action, const QString& path, int errnoValue,
                         QFileDevice::FileError error)
{
    return u"无法%1 \"%2\"。%3。"_s.arg(action, path, FileErrorReason(errnoValue, error));
}
