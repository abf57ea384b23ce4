#pragma once

#include <dlfcn.h>

// Libraries loaded when they are first needed (dlopen) rather than at start: target gets the
// function name of library; false when the library lacks it.
template <typename F> bool ResolveFunction(void* library, F& target, const char* name)
{
    target = reinterpret_cast<F>(::dlsym(library, name));
    return target != nullptr;
}
