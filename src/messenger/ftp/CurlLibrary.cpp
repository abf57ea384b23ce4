#include "messenger/ftp/CurlLibrary.h"

#include "core/LateLibrary.h"

#include <QFile>

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

template <typename F> void Resolve(void* library, const QString& fileName, F& target, const char* name)
{
    if (!ResolveFunction(library, target, name))
        throw EFtpLibraryMissing(u"%1 lacks the function %2: files cannot be downloaded."_s.arg(
            fileName, QLatin1StringView(name)));
}

} // namespace

const TCurlFunctions& CurlLibrary::Functions()
{
    TLoaded& loaded = Loaded();
    const std::lock_guard lock(loaded.mutex);
    if (loaded.ready)
        return loaded.functions;
    // The library stays loaded for the rest of the process, as a linked one would.
    void* library = ::dlopen(QFile::encodeName(loaded.fileName).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        throw EFtpLibraryMissing(u"libcurl (%1) cannot be loaded, so files cannot be downloaded. Install the "
                                 "libcurl4 package. (%2)"_s.arg(loaded.fileName, QString::fromLocal8Bit(::dlerror())));
    TCurlFunctions f;
    Resolve(library, loaded.fileName, f.global_init, "curl_global_init");
    Resolve(library, loaded.fileName, f.easy_init, "curl_easy_init");
    Resolve(library, loaded.fileName, f.easy_setopt, "curl_easy_setopt");
    Resolve(library, loaded.fileName, f.easy_perform, "curl_easy_perform");
    Resolve(library, loaded.fileName, f.easy_strerror, "curl_easy_strerror");
    Resolve(library, loaded.fileName, f.easy_cleanup, "curl_easy_cleanup");
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
