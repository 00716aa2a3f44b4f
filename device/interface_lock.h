#pragma once
// One program at a time on a TALVO-4. Every process that opens a hidraw node
// gets a copy of every input report, and output reports of two processes
// interleave: a second program between a ROM write's data reports would
// have its key code written into the ROM. Whoever opens the device
// therefore holds an advisory lock on its node for as long as its handles
// are open; the other programs of this tool honour it.

#include <memory>
#include <optional>
#include <string>

namespace talvo {

// The program that holds a lock, as far as this user may see it.
struct LockHolder {
    std::string program;  // empty where it cannot be known
    int pid = 0;          // 0 where it cannot be known
};

// Held while it lives.
class InterfaceLock {
  public:
    virtual ~InterfaceLock() = default;
};

struct LockAttempt {
    std::unique_ptr<InterfaceLock> lock;  // nullptr: another program holds it, or error
    LockHolder holder;                    // who, when another program holds it
    int error = 0;  // the system's error number when the lock failed for another reason (ENOLCK)
};

// Takes an exclusive advisory lock on the file at `path`, retrying a refusal
// for a moment (another program may only be testing it). A file that cannot
// be opened at all gives a lock that locks nothing: the open of the device
// itself then fails with its own reason. A lock the system cannot give for
// another reason (ENOLCK) is no lock, with that error.
LockAttempt LockExclusively(const std::string& path);

// Whether any process, this one too, holds the lock on `path`, told from the
// system's table of locks without taking it; nullopt where there is no such
// table. Taking the lock only to look would let a program that opens the
// device in that moment find it busy.
std::optional<bool> LockIsHeld(const std::string& path);

// The process that holds a lock on `path`, or has it open, other than this
// one; nullopt when none can be seen.
std::optional<LockHolder> FindLockHolder(const std::string& path);

// "in use by talvo4 (pid 1234)", or less where less is known.
std::string InUseText(const LockHolder& holder);

}  // namespace talvo
