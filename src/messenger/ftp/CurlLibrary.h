#pragma once

#include "messenger/ftp/FtpClient.h"

#include <QString>

#include <curl/curl.h>

// libcurl is not installed (or not usable): no download can start. The text says so.
class EFtpLibraryMissing : public EFtpExplained
{
public:
    using EFtpExplained::EFtpExplained;
};

// libcurl, loaded the first time a download starts rather than with the program: the library
// and the two dozen it needs (TLS, LDAP, SSH, Kerberos) would otherwise be mapped and relocated
// at every start for a feature most runs never use. The header gives the types and constants;
// the functions are reached through this table.
struct TCurlFunctions
{
    CURLcode (*global_init)(long flags) = nullptr;
    CURL* (*easy_init)() = nullptr;
    CURLcode (*easy_setopt)(CURL* handle, CURLoption option, ...) = nullptr;
    CURLcode (*easy_perform)(CURL* handle) = nullptr;
    const char* (*easy_strerror)(CURLcode code) = nullptr;
    void (*easy_cleanup)(CURL* handle) = nullptr;
};

namespace CurlLibrary {

// The library's functions, loading and initialising it on the first call (once per process,
// from any thread). Throws EFtpError, whose text names the missing file or function, when the
// library cannot be loaded (EFtpLibraryMissing); a later call tries again.
const TCurlFunctions& Functions();

// The file loaded: "libcurl.so.4" unless a test points it elsewhere, which makes the next
// Functions() load that file.
QString FileName();
void SetFileName(const QString& fileName);

} // namespace CurlLibrary
