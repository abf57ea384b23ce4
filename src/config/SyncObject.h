#pragma once

#include <QRecursiveMutex>
#include <QtGlobal>

#include <memory>

// Base of the keyed containers: an optional lock around every public operation. Without
// ThreadSafe (the default, and all the program uses) Lock and Unlock do nothing. The lock is
// re-entrant, because operations call each other (SetValue calls Add, growth calls Assign).
class TSyncObject
{
public:
    TSyncObject() = default;
    virtual ~TSyncObject();
    Q_DISABLE_COPY_MOVE(TSyncObject)

    // On creates the lock if there is none; off frees it. Switch it only while no other thread
    // uses the object.
    void SetThreadSafe(bool on);
    bool IsThreadSafe() const { return m_lock != nullptr; }

    void Lock() const;
    void Unlock() const;

protected:
    // Holds the object's lock for a scope, also when the scope is left by an exception.
    class TLocker
    {
    public:
        explicit TLocker(const TSyncObject& object) : m_object(object) { m_object.Lock(); }
        ~TLocker() { m_object.Unlock(); }
        Q_DISABLE_COPY_MOVE(TLocker)

    private:
        const TSyncObject& m_object;
    };

private:
    std::unique_ptr<QRecursiveMutex> m_lock;
};
