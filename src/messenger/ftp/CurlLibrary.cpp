#include "messenger/ftp/CurlLibrary.h"

#include "core/LateLibrary.h"

#include <mutex>

using namespace Qt::StringLiterals;

namespace {

struct TLoaded
{
    std::mutex mutex;
    QString fileName = u"libcurl.so.4"_s;
    TCurlFunctions functions;
    bool ready = false;
};

TLoaded& Loaded()
{
    static TLoaded loaded;
    return loaded;
}

} // namespace

const TCurlFunctions& CurlLibrary::Functions()
{
    TLoaded& loaded = Loaded();
    const std::lock_guard lock(loaded.mutex);
    if (loaded.ready)
        return loaded.functions;
    TLateLibrary library(loaded.fileName);
    if (!library.Loaded())
        throw EFtpLibraryMissing(u"libcurl (%1) cannot be loaded, so files cannot be downloaded. Install the "
                                 "libcurl4 package. (%2)"_s.arg(loaded.fileName, library.Problem()));
    TCurlFunctions f;
    library.Resolve(f.global_init, "curl_global_init")
        .Resolve(f.easy_init, "curl_easy_init")
        .Resolve(f.easy_setopt, "curl_easy_setopt")
        .Resolve(f.easy_perform, "curl_easy_perform")
        .Resolve(f.easy_strerror, "curl_easy_strerror")
        .Resolve(f.easy_cleanup, "curl_easy_cleanup");
    if (!library.Complete())
        throw EFtpLibraryMissing(library.Problem() + u": files cannot be downloaded."_s);
    if (f.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        throw EFtpLibraryMissing(
            u"libcurl (%1) could not start: files cannot be downloaded."_s.arg(loaded.fileName));
    loaded.functions = f;
    loaded.ready = true;
    return loaded.functions;
}

QString CurlLibrary::FileName()
{
    TLoaded& loaded = Loaded();
    const std::lock_guard lock(loaded.mutex);
    return loaded.fileName;
}

void CurlLibrary::SetFileName(const QString& fileName)
{
    TLoaded& loaded = Loaded();
    const std::lock_guard lock(loaded.mutex);
    loaded.fileName = fileName;
    loaded.ready = false;
}
