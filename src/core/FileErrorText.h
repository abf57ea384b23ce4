#pragma once

#include <QFileDevice>
#include <QString>

// The reason a file operation failed, in the words the rest of the program uses: "磁盘已满" for a
// full disk, "没有权限" for a refused access and so on. errnoValue is the system's error number
// taken right after the failure; when it is 0 the reason comes from the device's error kind.
QString FileErrorReason(int errnoValue, QFileDevice::FileError error = QFileDevice::UnspecifiedError);

// "无法写入文件 "<path>"。磁盘已满。": what was attempted on which file, and why it failed.
// action is the verb phrase, for example "写入文件".
QString FileErrorMessage(const QString& action, const QString& path, int errnoValue,
                         QFileDevice::FileError error = QFileDevice::UnspecifiedError);
