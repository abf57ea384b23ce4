#include "messenger/ftp/CurlLibrary.h"

#include <QLibrary>

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

template <typename F> void Resolve(QLibrary& library, F& target, const char* name)
{
    target = reinterpret_cast<F>(library.resolve(name));
    if (!target)
        throw EFtpLibraryMissing(u"%1 lacks the function %2: files cannot be downloaded."_s.arg(
            library.fileName(), QLatin1StringView(name)));
}

} // namespace

const TCurlFunctions& CurlLibrary::Functions()
{
    TLoaded& loaded = Loaded();
    const std::lock_guard lock(loaded.mutex);
    if (loaded.ready)
        return loaded.functions;
    // The library stays loaded for the rest of the process, as a linked one would.
    QLibrary library(loaded.fileName);
    library.setLoadHints(QLibrary::PreventUnloadHint);
    if (!library.load())
        throw EFtpLibraryMissing(u"libcurl (%1) cannot be loaded, so files cannot be downloaded. Install the "
                                 "libcurl4 package. (%2)"_s.arg(loaded.fileName, library.errorString()));
    TCurlFunctions f;
    Resolve(library, f.global_init, "curl_global_init");
    Resolve(library, f.easy_init, "curl_easy_init");
    Resolve(library, f.easy_setopt, "curl_easy_setopt");
    Resolve(library, f.easy_perform, "curl_easy_perform");
    Resolve(library, f.easy_strerror, "curl_easy_strerror");
    Resolve(library, f.easy_cleanup, "curl_easy_cleanup");
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
