#pragma once

#include "storage/status.h"

#include <QLockFile>
#include <QString>

namespace vellumar {

// Keeps a second start of the program away from books that a running one has open, so two
// windows never save over each other's ledgers (a double-click too many, two logins on one
// machine, a portable folder opened twice).
//
// The lock is a file in the data folder that lives as long as this object. A lock left behind
// by a program that is no longer running (killed, crashed, the machine restarted) is taken
// over; a lock of a running program never is, however old it is. Trying changes no file while
// another program holds the lock.
class InstanceLock final {
public:
    enum class State {
        Held,          // this start holds the lock
        HeldByAnother, // a running program holds it
        Failed,        // the system refused the lock file
    };

    // Tries once, without waiting.
    explicit InstanceLock(const QString& path);
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    State state() const { return m_state; }
    bool held() const { return m_state == State::Held; }
    // Why this start may not go on: which program holds the books, or what the system said.
    const Status& refusal() const { return m_refusal; }

private:
    Status describeHolder(const QString& dataFolder) const;

    QLockFile m_file;
    State m_state = State::Failed;
    Status m_refusal;
};

} // namespace vellumar
