#pragma once

#include <QString>

// What a download needs of the messenger window it saves for.
class IDownloadHost
{
public:
    virtual ~IDownloadHost() = default;
    // A line for the conversation ("最近保存的文件(夹):<path>").
    virtual void appendConversation(const QString& line) = 0;
    // Opens a saved file or folder with the desktop's default application.
    virtual void openPath(const QString& path) = 0;
};
