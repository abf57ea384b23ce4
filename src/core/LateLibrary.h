#pragma once

#include <QFile>
#include <QString>

#include <dlfcn.h>

#include <utility>

// A library loaded when it is first needed rather than at start. It stays loaded for the rest of
// the process, as a linked one would, and its functions are looked up by name:
//
//     TLateLibrary library(u"libasound.so.2"_s);
//     library.Resolve(open, "snd_pcm_open").Resolve(close, "snd_pcm_close");
//     if (!library.Complete()) ... library.Problem() ...
class TLateLibrary final
{
public:
    explicit TLateLibrary(QString fileName)
        : m_fileName(std::move(fileName)),
          m_handle(::dlopen(QFile::encodeName(m_fileName).constData(), RTLD_NOW | RTLD_LOCAL))
    {
        if (!m_handle)
            m_loadError = QString::fromLocal8Bit(::dlerror());
    }

    bool Loaded() const { return m_handle != nullptr; }
    // Sets target to the function name of the library, or to nullptr; the first name missing is
    // kept for Problem().
    template <typename F> TLateLibrary& Resolve(F& target, const char* name)
    {
        target = m_handle ? reinterpret_cast<F>(::dlsym(m_handle, name)) : nullptr;
        if (!target && m_missing.isEmpty())
            m_missing = QString::fromLatin1(name);
        return *this;
    }
    // Loaded, with every function asked for.
    bool Complete() const { return m_handle && m_missing.isEmpty(); }
    // Why not: the loader's reason, or "<file> lacks the function <name>".
    QString Problem() const
    {
        if (!m_handle)
            return m_loadError;
        return m_missing.isEmpty() ? QString()
                                   : m_fileName + QStringLiteral(" lacks the function ") + m_missing;
    }

private:
    QString m_fileName;
    void* m_handle;
    QString m_loadError;
    QString m_missing;
};
