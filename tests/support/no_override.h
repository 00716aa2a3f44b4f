#pragma once
// Lets a test see file permissions as an ordinary user does, also when it
// runs as root: while a NoOverride lives, the calling thread works without
// the capabilities that pass over read, write and search permissions of
// files and folders (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH). Without them a
// folder without write permission takes no new file, whoever asks.

namespace talvo::testing {

class NoOverride {
  public:
    NoOverride();
    // Gives the thread back what it had.
    ~NoOverride();
    NoOverride(const NoOverride&) = delete;
    NoOverride& operator=(const NoOverride&) = delete;

    // False when the capabilities could not even be read or set; the test
    // should then say so rather than trust what it sees.
    bool ok() const { return ok_; }

  private:
    bool ok_ = false;
    bool changed_ = false;
    unsigned effective_[2] = {0, 0};
};

}  // namespace talvo::testing
