#include "config/SyncObject.h"

TSyncObject::~TSyncObject()
{
    SetThreadSafe(false);
}

void TSyncObject::SetThreadSafe(bool on)
{
    if (on && !m_lock)
        m_lock = std::make_unique<QRecursiveMutex>();
    else if (!on && m_lock)
        m_lock.reset();
}

void TSyncObject::Lock() const
{
    if (m_lock)
        m_lock->lock();
}

void TSyncObject::Unlock() const
{
    if (m_lock)
        m_lock->unlock();
}
